#include "plugin/DatabaseBrowser.h"

#include "discovery/OracleHomes.h"
#include "discovery/OracleInstances.h"
#include "plugin/ItemNames.h"

int32_t BrowseItemInfo(const std::wstring& itemPath, ItemInfo& info) {
    // Escaped names hold no backslash, so the first one separates the home from the SID.
    const size_t separator = itemPath.find(L'\\');
    if (separator == std::wstring::npos) {
        const OracleHomeTable homes = GetOracleHomes();
        if (homes.find(UnescapeItemName(itemPath)) == homes.end())
            return UnknownItem;
        info = ItemInfo(0, 0, 0, 0, ItemInfo::FolderAttribute, 0);
        return Success;
    }
    const OracleInstanceTable instances =
        GetOracleInstances(UnescapeItemName(itemPath.substr(0, separator)));
    if (instances.find(UnescapeItemName(itemPath.substr(separator + 1))) == instances.end())
        return UnknownItem;
    info = ItemInfo(0, 0, 0, 0, ItemInfo::PlainAttribute, 0);
    return Success;
}

int32_t BrowseItems(const std::wstring& itemPath, ItemEntryList& items) {
    if (itemPath.empty()) {
        const ItemInfo homeInfo(0, 0, 0, 0, ItemInfo::FolderAttribute, 0);
        for (const auto& home : GetOracleHomes())
            items.push_back(ItemEntry(homeInfo, EscapeItemName(home.first)));
        return Success;
    }
    // The whole path names a home: an instance path lists nothing.
    const ItemInfo instanceInfo(0, 0, 0, 0, ItemInfo::PlainAttribute, 0);
    for (const auto& instance : GetOracleInstances(UnescapeItemName(itemPath)))
        items.push_back(ItemEntry(instanceInfo, EscapeItemName(instance.first)));
    return Success;
}
