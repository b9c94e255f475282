#include "tools/pluginclient/PluginClient.h"

#include "host/ItemTranslation.h"

namespace {

void HOST_CALL Log(hostabi::HostLogger* self, int32_t level, const wchar_t* text) {
    reinterpret_cast<ForwardingLogger*>(self)->target->Log(level, text);
}
const hostabi::HostLoggerTable kLoggerTable = {Log};

// Assigns the value into the plug-in's string as the host's own std::wstring would.
bool HOST_CALL GetValue(hostabi::HostSettings* self, const wchar_t* key, msstl::WString* value) {
    std::wstring text = value->ToStd();
    const bool found = reinterpret_cast<ForwardingSettings*>(self)->target->GetValue(key, &text);
    if (found)
        msstl::Assign(*value, text);
    return found;
}
const hostabi::HostSettingsTable kSettingsTable = {GetValue};

// Copies of the records that the plug-in filled in the host's layout.
ItemInfo LoadItemInfo(const HostItemInfo& from) {
    ItemInfo info(from.value1, from.value2, from.value3, from.value4, from.attributes,
                  from.validFields);
    info.infoText = from.infoText.ToStd();
    return info;
}

void LoadItemEntries(const HostItemList& from, ItemEntryList& to) {
    msstl::ForEach(from, [&to](const HostItemEntry& entry) {
        to.push_back(ItemEntry(LoadItemInfo(entry.info), entry.name.ToStd()));
        to.back().entryText = entry.entryText.ToStd();
    });
}

} // namespace

const wchar_t* PluginDescription::GetPluginVersion() {
    return object_->table->GetPluginVersion(object_);
}
const wchar_t* PluginDescription::GetName() {
    return object_->table->GetName(object_);
}
int32_t PluginDescription::GetKind() {
    return object_->table->GetKind(object_);
}
bool PluginDescription::GetFirstFlag() {
    return object_->table->GetFirstFlag(object_);
}
bool PluginDescription::GetSecondFlag() {
    return object_->table->GetSecondFlag(object_);
}
bool PluginDescription::GetThirdFlag() {
    return object_->table->GetThirdFlag(object_);
}
void PluginDescription::Release() {
    object_->table->Release(object_);
    delete this;
}

PluginDataObject::PluginDataObject(PluginLogger* logger) : logger_{{&kLoggerTable}, logger} {}

template <typename Export>
PluginDataObject* PluginDataObject::Create(Export getObject, PluginLogger* logger,
                                           PluginSettingsSource* settings) {
    PluginDataObject* object = new PluginDataObject(logger);
    ForwardingSettings source{{&kSettingsTable}, settings};
    object->Hold(getObject(object->LoggerFace(), settings != nullptr ? &source.face : nullptr));
    if (object->read_ != nullptr)
        return object;
    delete object;
    return nullptr;
}

void PluginDataObject::Hold(hostabi::ReadPart* read) {
    read_ = read;
}

void PluginDataObject::Hold(hostabi::WritePart* write) {
    write_ = write;
    // Where a host built with Microsoft's compiler finds the IBackupDataRead part.
    read_ = write != nullptr ? hostabi::ReadPartOf(write) : nullptr;
}

PluginDataObject* PluginDataObject::CreateRead(hostabi::GetBackupDataReadFunction getRead,
                                               PluginLogger* logger,
                                               PluginSettingsSource* settings) {
    return Create(getRead, logger, settings);
}

PluginDataObject* PluginDataObject::CreateWrite(hostabi::GetBackupDataWriteFunction getWrite,
                                                PluginLogger* logger,
                                                PluginSettingsSource* settings) {
    return Create(getWrite, logger, settings);
}

int32_t PluginDataObject::Open(const std::wstring& itemPath, uint32_t direction, uint32_t& handle) {
    const msstl::OwnedWString path(itemPath);
    return read_->table->Open(read_, &path.string, direction, &handle);
}

int32_t PluginDataObject::Read(unsigned char* buffer, uint32_t& size, const uint32_t& handle) {
    return read_->table->Read(read_, buffer, &size, &handle);
}

int32_t PluginDataObject::Close(const uint32_t& handle) {
    return read_->table->Close(read_, &handle);
}

int32_t PluginDataObject::GetItemInfo(const std::wstring& itemPath, ItemInfo& info) {
    const msstl::OwnedWString path(itemPath);
    HostItemInfo record{};
    msstl::ConstructEmpty(record.infoText);
    StoreItemInfo(info, record);
    const int32_t result = read_->table->GetItemInfo(read_, &path.string, &record);
    info = LoadItemInfo(record);
    msstl::Destroy(record.infoText);
    return result;
}

int32_t PluginDataObject::EnumItems(const std::wstring& itemPath, ItemEntryList& items) {
    const msstl::OwnedWString path(itemPath);
    HostItemList list;
    msstl::ConstructList(list);
    const int32_t result = read_->table->EnumItems(read_, &path.string, &list);
    LoadItemEntries(list, items);
    msstl::DestroyList(list, DestroyHostItemEntry);
    return result;
}

int32_t PluginDataObject::Write(const unsigned char* buffer, uint32_t& size,
                                const uint32_t& handle) {
    return write_->table->Write(write_, buffer, &size, &handle);
}

void PluginDataObject::Release() {
    read_->table->Release(read_);
    delete this;
}
