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

void* DestroyInfo(PluginInfoObject* self, unsigned flags) {
    if ((flags & 1) != 0)
        delete reinterpret_cast<InfoObject*>(self);
    return self;
}
void ReleaseInfo(PluginInfoObject* self) {
    if (self != nullptr)
        self->table->destroy(self, 1);
}
const wchar_t* GetPluginVersion(PluginInfoObject* self) {
    return InfoOf(self).GetPluginVersion();
}
const wchar_t* GetName(PluginInfoObject* self) {
    return InfoOf(self).GetName();
}
int32_t GetKind(PluginInfoObject* self) {
    return InfoOf(self).GetKind();
}
bool GetFirstFlag(PluginInfoObject* self) {
    return InfoOf(self).GetFirstFlag();
}
bool GetSecondFlag(PluginInfoObject* self) {
    return InfoOf(self).GetSecondFlag();
}
bool GetThirdFlag(PluginInfoObject* self) {
    return InfoOf(self).GetThirdFlag();
}

const PluginInfoTable kInfoTable = {DestroyInfo, ReleaseInfo,  GetPluginVersion, GetName,
                                    GetKind,     GetFirstFlag, GetSecondFlag,    GetThirdFlag};

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

// Runs one operation of the plug-in for the host; the message of a failure by exception goes
// straight to the host's logger, which needs no memory of ours.
template <typename Self, typename Operation> int32_t Guard(Self* self, Operation operation) {
    PluginState& state = *ObjectOf(self)->state;
    return GuardForHost(state.logger, static_cast<int32_t>(Failure),
                        [&] { return operation(state.plugin); });
}

void* DestroyData(ReadPart* self, unsigned flags) {
    DataObject* object = ObjectOf(self);
    delete object->state;
    object->state = nullptr;
    if ((flags & 1) != 0)
        delete object;
    return self;
}
void ReleaseData(ReadPart* self) {
    if (self != nullptr)
        self->table->destroy(self, 1);
}
int32_t Open(ReadPart* self, const msstl::WString* itemPath, uint32_t direction, uint32_t* handle) {
    *handle = 0;
    return Guard(self, [&](PluginImplementation& plugin) {
        return plugin.Open(itemPath->ToStd(), direction, *handle);
    });
}
int32_t Read(ReadPart* self, unsigned char* buffer, uint32_t* size, const uint32_t* handle) {
    return Guard(self,
                 [&](PluginImplementation& plugin) { return plugin.Read(buffer, *size, *handle); });
}
int32_t ReadSlot4(ReadPart* self) {
    return ObjectOf(self)->state->plugin.ReservedReadSlot4();
}
int32_t Close(ReadPart* self, const uint32_t* handle) {
    return Guard(self, [&](PluginImplementation& plugin) { return plugin.Close(*handle); });
}
int32_t GetItemInfo(ReadPart* self, const msstl::WString* itemPath, HostItemInfo* info) {
    return Guard(self, [&](PluginImplementation& plugin) {
        ItemInfo found;
        const int32_t result = plugin.GetItemInfo(itemPath->ToStd(), found);
        if (result == Success)
            StoreItemInfo(found, *info);
        return result;
    });
}
int32_t EnumItems(ReadPart* self, const msstl::WString* itemPath, HostItemList* items) {
    return Guard(self, [&](PluginImplementation& plugin) {
        ItemEntryList found;
        const int32_t result = plugin.EnumItems(itemPath->ToStd(), found);
        AppendItemEntries(found, *items);
        return result;
    });
}
void ReadSlot8(ReadPart* self) {
    ObjectOf(self)->state->plugin.ReservedReadSlot8();
}

int32_t Write(WritePart* self, const unsigned char* buffer, uint32_t* size,
              const uint32_t* handle) {
    return Guard(
        self, [&](PluginImplementation& plugin) { return plugin.Write(buffer, *size, *handle); });
}
PluginImplementation& PluginOf(WritePart* self) {
    return ObjectOf(self)->state->plugin;
}
int32_t WriteSlot1(WritePart* self) {
    return PluginOf(self).ReservedWriteSlot1();
}
int32_t WriteSlot2(WritePart* self) {
    return PluginOf(self).ReservedWriteSlot2();
}
int32_t WriteSlot3(WritePart* self) {
    return PluginOf(self).ReservedWriteSlot3();
}
int32_t WriteSlot4(WritePart* self) {
    return PluginOf(self).ReservedWriteSlot4();
}
int32_t WriteSlot5(WritePart* self) {
    return PluginOf(self).ReservedWriteSlot5();
}
int32_t WriteSlot6(WritePart* self) {
    return PluginOf(self).ReservedWriteSlot6();
}
int32_t WriteSlot7(WritePart* self) {
    return PluginOf(self).ReservedWriteSlot7();
}

const ReadTable kReadTable = {DestroyData, ReleaseData, Open,      Read,     ReadSlot4,
                              Close,       GetItemInfo, EnumItems, ReadSlot8};
const WriteTable kWriteTable = {Write,      WriteSlot1, WriteSlot2, WriteSlot3,
                                WriteSlot4, WriteSlot5, WriteSlot6, WriteSlot7};

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
