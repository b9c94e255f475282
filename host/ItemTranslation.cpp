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
