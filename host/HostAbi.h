// The host's objects as Microsoft's C++ compiler lays them out on x64 (host/HostInterfaces.h has
// the declarations they come from). A table of virtual functions is written here as a record of
// function pointers, one 8-byte slot each, named as the slot, and every slot function takes the
// object it is called on first: on x64 that is exactly how a member function is called (this in
// RCX, the arguments after it; a reference is a pointer; HOST_CALL names that convention). So any
// compiler can build and call these objects.
#pragma once

#include "host/HostItems.h"
#include "host/MsString.h"
#include "plugin/HostContract.h"

#include <cstddef>
#include <cstdint>

namespace hostabi {

// IPluginInfo: one object, one table.
struct PluginInfoObject;
struct PluginInfoTable {
    void*(HOST_CALL* ScalarDeletingDestructor)(PluginInfoObject* self, unsigned flags);
    void(HOST_CALL* Release)(PluginInfoObject* self);
    const wchar_t*(HOST_CALL* GetPluginVersion)(PluginInfoObject* self);
    const wchar_t*(HOST_CALL* GetName)(PluginInfoObject* self);
    int32_t(HOST_CALL* GetKind)(PluginInfoObject* self);
    bool(HOST_CALL* GetFirstFlag)(PluginInfoObject* self);
    bool(HOST_CALL* GetSecondFlag)(PluginInfoObject* self);
    bool(HOST_CALL* GetThirdFlag)(PluginInfoObject* self);
};
struct PluginInfoObject {
    const PluginInfoTable* table;
};

// IBackupDataRead: the part of the plug-in object that the host reaches for browsing and for the
// job's open, read and close; also a whole object's address as GetBackupDataRead returns it.
struct ReadPart;
struct ReadTable {
    void*(HOST_CALL* ScalarDeletingDestructor)(ReadPart* self, unsigned flags);
    void(HOST_CALL* Release)(ReadPart* self);
    int32_t(HOST_CALL* Open)(ReadPart* self, const msstl::WString* itemPath, uint32_t direction,
                             uint32_t* handle);
    int32_t(HOST_CALL* Read)(ReadPart* self, unsigned char* buffer, uint32_t* size,
                             const uint32_t* handle);
    int32_t(HOST_CALL* ReservedReadSlot4)(ReadPart* self);
    int32_t(HOST_CALL* Close)(ReadPart* self, const uint32_t* handle);
    int32_t(HOST_CALL* GetItemInfo)(ReadPart* self, const msstl::WString* itemPath,
                                    HostItemInfo* info);
    int32_t(HOST_CALL* EnumItems)(ReadPart* self, const msstl::WString* itemPath,
                                  HostItemList* items);
    void(HOST_CALL* ReservedReadSlot8)(ReadPart* self);
};
struct ReadPart {
    const ReadTable* table;
};

// IBackupDataWrite's own slots; called on the address of the IBackupDataWrite part (offset 0).
struct WritePart;
struct WriteTable {
    int32_t(HOST_CALL* Write)(WritePart* self, const unsigned char* buffer, uint32_t* size,
                              const uint32_t* handle);
    int32_t(HOST_CALL* ReservedWriteSlot1)(WritePart* self);
    int32_t(HOST_CALL* ReservedWriteSlot2)(WritePart* self);
    int32_t(HOST_CALL* ReservedWriteSlot3)(WritePart* self);
    int32_t(HOST_CALL* ReservedWriteSlot4)(WritePart* self);
    int32_t(HOST_CALL* ReservedWriteSlot5)(WritePart* self);
    int32_t(HOST_CALL* ReservedWriteSlot6)(WritePart* self);
    int32_t(HOST_CALL* ReservedWriteSlot7)(WritePart* self);
};
// The start of an IBackupDataWrite: its own table, then the pointer to its table of virtual-base
// offsets: {-8, distance from this pointer to the IBackupDataRead part}.
struct WritePart {
    const WriteTable* table;
    const int32_t* virtualBases;
};

// Where the host finds the IBackupDataRead part of an IBackupDataWrite.
inline ReadPart* ReadPartOf(WritePart* write) {
    return reinterpret_cast<ReadPart*>(reinterpret_cast<char*>(&write->virtualBases) +
                                       write->virtualBases[1]);
}

// The host's logger and settings source: the plug-in calls slot 0 of each.
struct HostLogger;
struct HostLoggerTable {
    void(HOST_CALL* Log)(HostLogger* self, int32_t level, const wchar_t* text);
};
struct HostLogger {
    const HostLoggerTable* table;
};
struct HostSettings;
struct HostSettingsTable {
    bool(HOST_CALL* GetValue)(HostSettings* self, const wchar_t* key, msstl::WString* value);
};
struct HostSettings {
    const HostSettingsTable* table;
};

static_assert(sizeof(PluginInfoTable) == 8 * sizeof(void*), "IPluginInfo has 8 slots");
static_assert(sizeof(ReadTable) == 9 * sizeof(void*), "IBackupDataRead has 9 slots");
static_assert(sizeof(WriteTable) == 8 * sizeof(void*), "IBackupDataWrite has 8 slots of its own");
static_assert(offsetof(WritePart, virtualBases) == 8, "the vbptr follows the vfptr");

// The exports, as the host calls them.
typedef PluginInfoObject*(HOST_CALL* GetPluginInfoFunction)();
typedef ReadPart*(HOST_CALL* GetBackupDataReadFunction)(HostLogger* logger, HostSettings* settings);
typedef WritePart*(HOST_CALL* GetBackupDataWriteFunction)(HostLogger* logger,
                                                          HostSettings* settings);

} // namespace hostabi
