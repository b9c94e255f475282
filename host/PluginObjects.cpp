#include "host/PluginObjects.h"

#include "host/HostCallbacks.h"
#include "host/HostGuard.h"
#include "host/ItemTranslation.h"
#include "plugin/PluginImplementation.h"
#include "plugin/PluginInfo.h"

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>

namespace hostabi {

namespace {

// ---- IPluginInfo

struct InfoObject {
    PluginInfoObject face;
    PluginInfo info;
};
static_assert(std::is_standard_layout<InfoObject>::value, "the table pointer comes first");

PluginInfo& InfoOf(PluginInfoObject* self) {
    return reinterpret_cast<InfoObject*>(self)->info;
}

void* HOST_CALL ScalarDeletingDestructor(PluginInfoObject* self, unsigned flags) {
    if ((flags & 1) != 0)
        delete reinterpret_cast<InfoObject*>(self);
    return self;
}
void HOST_CALL Release(PluginInfoObject* self) {
    if (self != nullptr)
        self->table->ScalarDeletingDestructor(self, 1);
}
const wchar_t* HOST_CALL GetPluginVersion(PluginInfoObject* self) {
    return InfoOf(self).GetPluginVersion();
}
const wchar_t* HOST_CALL GetName(PluginInfoObject* self) {
    return InfoOf(self).GetName();
}
int32_t HOST_CALL GetKind(PluginInfoObject* self) {
    return InfoOf(self).GetKind();
}
bool HOST_CALL GetFirstFlag(PluginInfoObject* self) {
    return InfoOf(self).GetFirstFlag();
}
bool HOST_CALL GetSecondFlag(PluginInfoObject* self) {
    return InfoOf(self).GetSecondFlag();
}
bool HOST_CALL GetThirdFlag(PluginInfoObject* self) {
    return InfoOf(self).GetThirdFlag();
}

const PluginInfoTable kInfoTable = {ScalarDeletingDestructor,
                                    Release,
                                    GetPluginVersion,
                                    GetName,
                                    GetKind,
                                    GetFirstFlag,
                                    GetSecondFlag,
                                    GetThirdFlag};

// ---- IBackupDataRead and IBackupDataWrite

// The plug-in object with the host's logger as it sees it.
struct PluginState {
    PluginState(HostLogger* hostLogger, HostSettings* hostSettings)
        : logger(hostLogger),
          plugin(hostLogger != nullptr ? &logger : nullptr, SettingsOf(hostSettings).get()) {}
    static std::unique_ptr<HostSettingsLink> SettingsOf(HostSettings* hostSettings) {
        return std::unique_ptr<HostSettingsLink>(
            hostSettings != nullptr ? new HostSettingsLink(hostSettings) : nullptr);
    }

    HostLoggerLink logger;
    PluginImplementation plugin;
};

// IBackupDataWrite at offset 0 (table, virtual-base pointer), then the IBackupDataRead part.
struct DataObject {
    WritePart write;
    PluginState* state;
    ReadPart read;
};
static_assert(std::is_standard_layout<DataObject>::value, "offsets are fixed");
const int32_t kVirtualBases[2] = {
    -static_cast<int32_t>(offsetof(WritePart, virtualBases)),
    static_cast<int32_t>(offsetof(DataObject, read) - offsetof(WritePart, virtualBases))};

DataObject* ObjectOf(ReadPart* self) {
    return reinterpret_cast<DataObject*>(reinterpret_cast<char*>(self) -
                                         offsetof(DataObject, read));
}
DataObject* ObjectOf(WritePart* self) {
    return reinterpret_cast<DataObject*>(self);
}
template <typename Self> PluginImplementation& PluginOf(Self* self) {
    return ObjectOf(self)->state->plugin;
}

// Runs one operation of the plug-in for the host; the message of a failure by exception goes
// straight to the host's logger, which needs no memory of ours.
template <typename Self, typename Operation> int32_t Guard(Self* self, Operation operation) {
    PluginState& state = *ObjectOf(self)->state;
    return GuardForHost(state.logger, static_cast<int32_t>(Failure),
                        [&] { return operation(state.plugin); });
}

void* HOST_CALL ScalarDeletingDestructor(ReadPart* self, unsigned flags) {
    DataObject* object = ObjectOf(self);
    delete object->state;
    object->state = nullptr;
    if ((flags & 1) != 0)
        delete object;
    return self;
}
void HOST_CALL Release(ReadPart* self) {
    if (self != nullptr)
        self->table->ScalarDeletingDestructor(self, 1);
}
int32_t HOST_CALL Open(ReadPart* self, const msstl::WString* itemPath, uint32_t direction,
                       uint32_t* handle) {
    *handle = 0;
    return Guard(self, [&](PluginImplementation& plugin) {
        return plugin.Open(itemPath->ToStd(), direction, *handle);
    });
}
int32_t HOST_CALL Read(ReadPart* self, unsigned char* buffer, uint32_t* size,
                       const uint32_t* handle) {
    return Guard(self,
                 [&](PluginImplementation& plugin) { return plugin.Read(buffer, *size, *handle); });
}
int32_t HOST_CALL ReservedReadSlot4(ReadPart* self) {
    return PluginOf(self).ReservedReadSlot4();
}
int32_t HOST_CALL Close(ReadPart* self, const uint32_t* handle) {
    return Guard(self, [&](PluginImplementation& plugin) { return plugin.Close(*handle); });
}
int32_t HOST_CALL GetItemInfo(ReadPart* self, const msstl::WString* itemPath, HostItemInfo* info) {
    return Guard(self, [&](PluginImplementation& plugin) {
        ItemInfo found;
        const int32_t result = plugin.GetItemInfo(itemPath->ToStd(), found);
        if (result == Success)
            StoreItemInfo(found, *info);
        return result;
    });
}
int32_t HOST_CALL EnumItems(ReadPart* self, const msstl::WString* itemPath, HostItemList* items) {
    return Guard(self, [&](PluginImplementation& plugin) {
        ItemEntryList found;
        const int32_t result = plugin.EnumItems(itemPath->ToStd(), found);
        AppendItemEntries(found, *items);
        return result;
    });
}
void HOST_CALL ReservedReadSlot8(ReadPart* self) {
    PluginOf(self).ReservedReadSlot8();
}

int32_t HOST_CALL Write(WritePart* self, const unsigned char* buffer, uint32_t* size,
                        const uint32_t* handle) {
    return Guard(
        self, [&](PluginImplementation& plugin) { return plugin.Write(buffer, *size, *handle); });
}
int32_t HOST_CALL ReservedWriteSlot1(WritePart* self) {
    return PluginOf(self).ReservedWriteSlot1();
}
int32_t HOST_CALL ReservedWriteSlot2(WritePart* self) {
    return PluginOf(self).ReservedWriteSlot2();
}
int32_t HOST_CALL ReservedWriteSlot3(WritePart* self) {
    return PluginOf(self).ReservedWriteSlot3();
}
int32_t HOST_CALL ReservedWriteSlot4(WritePart* self) {
    return PluginOf(self).ReservedWriteSlot4();
}
int32_t HOST_CALL ReservedWriteSlot5(WritePart* self) {
    return PluginOf(self).ReservedWriteSlot5();
}
int32_t HOST_CALL ReservedWriteSlot6(WritePart* self) {
    return PluginOf(self).ReservedWriteSlot6();
}
int32_t HOST_CALL ReservedWriteSlot7(WritePart* self) {
    return PluginOf(self).ReservedWriteSlot7();
}

const ReadTable kReadTable = {ScalarDeletingDestructor, Release, Open,        Read,
                              ReservedReadSlot4,        Close,   GetItemInfo, EnumItems,
                              ReservedReadSlot8};
const WriteTable kWriteTable = {Write,
                                ReservedWriteSlot1,
                                ReservedWriteSlot2,
                                ReservedWriteSlot3,
                                ReservedWriteSlot4,
                                ReservedWriteSlot5,
                                ReservedWriteSlot6,
                                ReservedWriteSlot7};

DataObject* CreateData(HostLogger* logger, HostSettings* settings) {
    HostLoggerLink errors(logger);
    return GuardForHost(errors, static_cast<DataObject*>(nullptr), [&] {
        std::unique_ptr<DataObject> object(
            new DataObject{{&kWriteTable, kVirtualBases}, nullptr, {&kReadTable}});
        object->state = new PluginState(logger, settings);
        return object.release();
    });
}

} // namespace

PluginInfoObject* CreatePluginInfo() {
    InfoObject* object = new (std::nothrow) InfoObject{{&kInfoTable}, PluginInfo()};
    return object != nullptr ? &object->face : nullptr;
}

ReadPart* CreateBackupDataRead(HostLogger* logger, HostSettings* settings) {
    DataObject* object = CreateData(logger, settings);
    return object != nullptr ? &object->read : nullptr;
}

WritePart* CreateBackupDataWrite(HostLogger* logger, HostSettings* settings) {
    DataObject* object = CreateData(logger, settings);
    return object != nullptr ? &object->write : nullptr;
}

} // namespace hostabi
