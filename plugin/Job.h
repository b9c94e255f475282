// What every job owns, and the operations of the host that the plug-in object forwards to it.
#pragma once

#include "plugin/MachineMark.h"
#include "rman/OracleSettings.h"
#include "virid/DirPacker.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <memory>
#include <string>

class PluginImplementation;
class RmanWrapper;

class Job {
public:
    virtual ~Job() = default;
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    // The direction's own step of Open, once the settings, the folder and the console are made.
    [[nodiscard]] virtual int32_t Start() = 0;
    // The host's blocks, passed to the packer (see MapPackerResult).
    [[nodiscard]] virtual int32_t Read(unsigned char* buffer, uint32_t& size);
    [[nodiscard]] virtual int32_t Write(const unsigned char* buffer, uint32_t& size);
    // The direction's own steps of Close. keepJob: the job and its folder stay for another
    // Close.
    [[nodiscard]] virtual int32_t Close(bool& keepJob) = 0;
    // The object is released with the job open: the steps of Close that must run whatever the
    // host did. Returns what was done, for the warning.
    virtual std::wstring CloseAtRelease() = 0;
    virtual bool IsBackup() const = 0;

    // The packer's Ok stays Success, its EndOfStream becomes EndOfData, anything else Failure.
    static int32_t MapPackerResult(int packerResult);

    boost::shared_ptr<OracleSettings> settings; // the job's own copy, completed by Open
    boost::shared_ptr<RmanWrapper> rman;        // the job's console
    VIRid::DirPacker packer;                    // on settings->tempFolder
    std::shared_ptr<MachineMark> instanceMark;  // held from Open to Close
    std::shared_ptr<MachineMark> folderMark;    // keeps other jobs from removing the folder

protected:
    explicit Job(PluginImplementation& owner) : plugin(owner) {}

    PluginImplementation& plugin; // reports to the host's logger
};
