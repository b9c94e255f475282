#include "host/ItemTranslation.h"

namespace {

void StoreValues(const ItemInfo& from, HostItemInfo& to) {
    to.value1 = from.value1;
    to.value2 = from.value2;
    to.value3 = from.value3;
    to.value4 = from.value4;
    to.attributes = from.attributes;
    to.validFields = from.validFields;
}

} // namespace

void StoreItemInfo(const ItemInfo& from, HostItemInfo& to) {
    msstl::Assign(to.infoText, from.infoText); // first: the only step that can fail
    StoreValues(from, to);
}

void AppendItemEntries(const ItemEntryList& from, HostItemList& to) {
    for (const ItemEntry& entry : from)
        msstl::Append(to, [&entry](HostItemEntry& node) {
            msstl::ConstructEmpty(node.info.infoText);
            msstl::ConstructEmpty(node.name);
            msstl::ConstructEmpty(node.entryText);
            try {
                StoreItemInfo(entry.info, node.info);
                msstl::Assign(node.name, entry.name);
                msstl::Assign(node.entryText, entry.entryText);
            } catch (...) {
                DestroyHostItemEntry(node);
                throw;
            }
        });
}

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
