// The host's objects as Microsoft's C++ compiler lays them out on x64 (host/HostInterfaces.h has
// the declarations they come from). A table of virtual functions is written here as a record of
// function pointers, one 8-byte slot each, and every slot function takes the object it is called
// on first: on x64 that is exactly how a member function is called (this in RCX, the arguments
// after it; a reference is a pointer). So any compiler can build and call these objects.
#pragma once

#include "host/HostItems.h"
#include "host/MsString.h"

#include <cstddef>
#include <cstdint>

namespace hostabi {

// IPluginInfo: one object, one table.
struct PluginInfoObject;
struct PluginInfoTable {
    void* (*destroy)(PluginInfoObject* self, unsigned flags); // scalar deleting destructor
    void (*release)(PluginInfoObject* self);
    const wchar_t* (*getPluginVersion)(PluginInfoObject* self);
    const wchar_t* (*getName)(PluginInfoObject* self);
    int32_t (*getKind)(PluginInfoObject* self);
    bool (*getFirstFlag)(PluginInfoObject* self);
    bool (*getSecondFlag)(PluginInfoObject* self);
    bool (*getThirdFlag)(PluginInfoObject* self);
};
struct PluginInfoObject {
    const PluginInfoTable* table;
};

// IBackupDataRead: the part of the plug-in object that the host reaches for browsing and for the
// job's open, read and close; also a whole object's address as GetBackupDataRead returns it.
struct ReadPart;
struct ReadTable {
    void* (*destroy)(ReadPart* self, unsigned flags); // scalar deleting destructor
    void (*release)(ReadPart* self);
    int32_t (*open)(ReadPart* self, const msstl::WString* itemPath, uint32_t direction,
                    uint32_t* handle);
    int32_t (*read)(ReadPart* self, unsigned char* buffer, uint32_t* size, const uint32_t* handle);
    int32_t (*unsupported4)(ReadPart* self);
    int32_t (*close)(ReadPart* self, const uint32_t* handle);
    int32_t (*getItemInfo)(ReadPart* self, const msstl::WString* itemPath, HostItemInfo* info);
    int32_t (*enumItems)(ReadPart* self, const msstl::WString* itemPath, HostItemList* items);
    void (*slot8)(ReadPart* self);
};
struct ReadPart {
    const ReadTable* table;
};

// IBackupDataWrite's own slots; called on the address of the IBackupDataWrite part (offset 0).
struct WritePart;
struct WriteTable {
    int32_t (*write)(WritePart* self, const unsigned char* buffer, uint32_t* size,
                     const uint32_t* handle);
    int32_t (*unsupported1)(WritePart* self);
    int32_t (*unsupported2)(WritePart* self);
    int32_t (*unsupported3)(WritePart* self);
    int32_t (*slot4)(WritePart* self);
    int32_t (*slot5)(WritePart* self);
    int32_t (*slot6)(WritePart* self);
    int32_t (*slot7)(WritePart* self);
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
    void (*log)(HostLogger* self, int32_t level, const wchar_t* text);
};
struct HostLogger {
    const HostLoggerTable* table;
};
struct HostSettings;
struct HostSettingsTable {
    bool (*getValue)(HostSettings* self, const wchar_t* key, msstl::WString* value);
};
struct HostSettings {
    const HostSettingsTable* table;
};

static_assert(sizeof(PluginInfoTable) == 8 * sizeof(void*), "IPluginInfo has 8 slots");
static_assert(sizeof(ReadTable) == 9 * sizeof(void*), "IBackupDataRead has 9 slots");
static_assert(sizeof(WriteTable) == 8 * sizeof(void*), "IBackupDataWrite has 8 slots of its own");
static_assert(offsetof(WritePart, virtualBases) == 8, "the vbptr follows the vfptr");

// The exports, as the host calls them.
typedef PluginInfoObject* (*GetPluginInfoFunction)();
typedef ReadPart* (*GetBackupDataReadFunction)(HostLogger* logger, HostSettings* settings);
typedef WritePart* (*GetBackupDataWriteFunction)(HostLogger* logger, HostSettings* settings);

} // namespace hostabi
