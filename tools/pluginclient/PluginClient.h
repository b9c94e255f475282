// The plug-in called the way a host built with Microsoft's compiler calls it: every operation
// through a slot of the object's Microsoft-layout table, strings and records in the host's
// layout, and a logger and settings source of that layout that pass the calls on to the
// caller's PluginLogger and PluginSettingsSource. For our own host program, tests and benchmarks.
#pragma once

#include "host/HostAbi.h"
#include "plugin/PluginContract.h"

#include <string>

// A Microsoft-layout logger and settings source whose slot 0 passes the call on to target.
struct ForwardingLogger {
    hostabi::HostLogger face;
    PluginLogger* target;
};
struct ForwardingSettings {
    hostabi::HostSettings face;
    PluginSettingsSource* target;
};

// The IPluginInfo object that GetPluginInfo gave.
class PluginDescription {
public:
    explicit PluginDescription(hostabi::PluginInfoObject* object) : object_(object) {}
    PluginDescription(const PluginDescription&) = delete;
    PluginDescription& operator=(const PluginDescription&) = delete;

    const wchar_t* GetPluginVersion();
    const wchar_t* GetName();
    int32_t GetKind();
    bool GetFirstFlag();
    bool GetSecondFlag();
    bool GetThirdFlag();
    // Slot 1 of the object, then deletes this wrapper.
    void Release();

private:
    ~PluginDescription() = default;
    hostabi::PluginInfoObject* object_;
};

// The plug-in object that GetBackupDataRead or GetBackupDataWrite gave, created by
// PluginDataObject::CreateRead or CreateWrite.
class PluginDataObject {
public:
    // Calls the export with a Microsoft-layout logger passing messages on to logger (null: no
    // logger) and a settings source passing on to settings (null: none). Null when the export
    // gives null. logger must outlive the object.
    [[nodiscard]] static PluginDataObject* CreateRead(hostabi::GetBackupDataReadFunction getRead,
                                                      PluginLogger* logger,
                                                      PluginSettingsSource* settings);
    [[nodiscard]] static PluginDataObject* CreateWrite(hostabi::GetBackupDataWriteFunction getWrite,
                                                       PluginLogger* logger,
                                                       PluginSettingsSource* settings);
    PluginDataObject(const PluginDataObject&) = delete;
    PluginDataObject& operator=(const PluginDataObject&) = delete;

    // IBackupDataRead's slots, on its part of the object.
    [[nodiscard]] int32_t Open(const std::wstring& itemPath, uint32_t direction, uint32_t& handle);
    [[nodiscard]] int32_t Read(unsigned char* buffer, uint32_t& size, const uint32_t& handle);
    [[nodiscard]] int32_t Close(const uint32_t& handle);
    [[nodiscard]] int32_t GetItemInfo(const std::wstring& itemPath, ItemInfo& info);
    [[nodiscard]] int32_t EnumItems(const std::wstring& itemPath, ItemEntryList& items);
    // IBackupDataWrite's own slot 0; only on an object from GetBackupDataWrite.
    [[nodiscard]] int32_t Write(const unsigned char* buffer, uint32_t& size,
                                const uint32_t& handle);
    // Slot 1 through the IBackupDataRead part, then deletes this wrapper.
    void Release();

private:
    explicit PluginDataObject(PluginLogger* logger);
    ~PluginDataObject() = default;
    hostabi::HostLogger* LoggerFace() {
        return logger_.target != nullptr ? &logger_.face : nullptr;
    }
    // What CreateRead and CreateWrite do with their export.
    template <typename Export>
    static PluginDataObject* Create(Export getObject, PluginLogger* logger,
                                    PluginSettingsSource* settings);
    // Keeps the part that the export gave (null: none).
    void Hold(hostabi::ReadPart* read);
    void Hold(hostabi::WritePart* write);

    ForwardingLogger logger_;
    hostabi::ReadPart* read_ = nullptr;
    hostabi::WritePart* write_ = nullptr;
};
