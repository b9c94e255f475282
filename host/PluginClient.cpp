#include "host/PluginClient.h"

#include "host/ItemTranslation.h"

namespace {

void LogSlot(hostabi::HostLogger* self, int32_t level, const wchar_t* text) {
    reinterpret_cast<ForwardingLogger*>(self)->target->Log(level, text);
}
const hostabi::HostLoggerTable kLoggerTable = {LogSlot};

// Assigns the value into the plug-in's string as the host's own std::wstring would.
bool GetValueSlot(hostabi::HostSettings* self, const wchar_t* key, msstl::WString* value) {
    std::wstring text = value->ToStd();
    const bool found = reinterpret_cast<ForwardingSettings*>(self)->target->GetValue(key, &text);
    if (found)
        msstl::Assign(*value, text);
    return found;
}
const hostabi::HostSettingsTable kSettingsTable = {GetValueSlot};

} // namespace

const wchar_t* PluginDescription::GetPluginVersion() {
    return object_->table->getPluginVersion(object_);
}
const wchar_t* PluginDescription::GetName() {
    return object_->table->getName(object_);
}
int32_t PluginDescription::GetKind() {
    return object_->table->getKind(object_);
}
bool PluginDescription::GetFirstFlag() {
    return object_->table->getFirstFlag(object_);
}
bool PluginDescription::GetSecondFlag() {
    return object_->table->getSecondFlag(object_);
}
bool PluginDescription::GetThirdFlag() {
    return object_->table->getThirdFlag(object_);
}
void PluginDescription::Release() {
    object_->table->release(object_);
    delete this;
}

PluginDataObject::PluginDataObject(PluginLogger* logger) : logger_{{&kLoggerTable}, logger} {}

ForwardingSettings PluginDataObject::SettingsFor(PluginSettingsSource* settings) {
    return ForwardingSettings{{&kSettingsTable}, settings};
}

PluginDataObject* PluginDataObject::CreateRead(ReadExport getRead, PluginLogger* logger,
                                               PluginSettingsSource* settings) {
    PluginDataObject* object = new PluginDataObject(logger);
    ForwardingSettings source = SettingsFor(settings);
    object->read_ = getRead(object->LoggerFace(), settings != nullptr ? &source.face : nullptr);
    if (object->read_ == nullptr) {
        delete object;
        return nullptr;
    }
    return object;
}

PluginDataObject* PluginDataObject::CreateWrite(WriteExport getWrite, PluginLogger* logger,
                                                PluginSettingsSource* settings) {
    PluginDataObject* object = new PluginDataObject(logger);
    ForwardingSettings source = SettingsFor(settings);
    object->write_ = getWrite(object->LoggerFace(), settings != nullptr ? &source.face : nullptr);
    if (object->write_ == nullptr) {
        delete object;
        return nullptr;
    }
    // Where a host built with Microsoft's compiler finds the IBackupDataRead part.
    object->read_ = hostabi::ReadPartOf(object->write_);
    return object;
}

int32_t PluginDataObject::Open(const std::wstring& itemPath, uint32_t direction, uint32_t& handle) {
    const msstl::OwnedWString path(itemPath);
    return read_->table->open(read_, &path.string, direction, &handle);
}

int32_t PluginDataObject::Read(unsigned char* buffer, uint32_t& size, const uint32_t& handle) {
    return read_->table->read(read_, buffer, &size, &handle);
}

int32_t PluginDataObject::ReservedReadSlot4() {
    return read_->table->unsupported4(read_);
}

int32_t PluginDataObject::Close(const uint32_t& handle) {
    return read_->table->close(read_, &handle);
}

int32_t PluginDataObject::GetItemInfo(const std::wstring& itemPath, ItemInfo& info) {
    const msstl::OwnedWString path(itemPath);
    HostItemInfo record{};
    msstl::ConstructEmpty(record.infoText);
    StoreItemInfo(info, record);
    const int32_t result = read_->table->getItemInfo(read_, &path.string, &record);
    info = LoadItemInfo(record);
    msstl::Destroy(record.infoText);
    return result;
}

int32_t PluginDataObject::EnumItems(const std::wstring& itemPath, ItemEntryList& items) {
    const msstl::OwnedWString path(itemPath);
    HostItemList list;
    msstl::ConstructList(list);
    const int32_t result = read_->table->enumItems(read_, &path.string, &list);
    LoadItemEntries(list, items);
    msstl::DestroyList(list, DestroyHostItemEntry);
    return result;
}

void PluginDataObject::ReservedReadSlot8() {
    read_->table->slot8(read_);
}

int32_t PluginDataObject::Write(const unsigned char* buffer, uint32_t& size,
                                const uint32_t& handle) {
    return write_->table->write(write_, buffer, &size, &handle);
}

int32_t PluginDataObject::ReservedWriteSlot(int slot) {
    int32_t (*const slots[])(hostabi::WritePart*) = {
        write_->table->unsupported1, write_->table->unsupported2, write_->table->unsupported3,
        write_->table->slot4,        write_->table->slot5,        write_->table->slot6,
        write_->table->slot7};
    return slots[slot - 1](write_);
}

void PluginDataObject::Release() {
    read_->table->release(read_);
    delete this;
}

void PluginDataObject::Delete() {
    read_->table->destroy(read_, 1);
    delete this;
}
