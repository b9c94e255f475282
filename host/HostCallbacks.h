// The host's logger and settings source, called through their Microsoft-layout tables, seen by
// the plug-in as its own PluginLogger and PluginSettingsSource.
#pragma once

#include "host/HostAbi.h"
#include "plugin/PluginContract.h"

// Drops every message when the host gave no logger.
class HostLoggerLink : public PluginLogger {
public:
    explicit HostLoggerLink(hostabi::HostLogger* host) : host_(host) {}
    void Log(int32_t level, const wchar_t* text) override;

private:
    hostabi::HostLogger* host_;
};

class HostSettingsLink : public PluginSettingsSource {
public:
    explicit HostSettingsLink(hostabi::HostSettings* host) : host_(host) {}
    // Hands the host a Microsoft-layout copy of *value to fill, and takes back what it holds
    // afterwards, freeing the host's buffer by the Microsoft library's rule.
    bool GetValue(const wchar_t* key, std::wstring* value) override;

private:
    hostabi::HostSettings* host_;
};
