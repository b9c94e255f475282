// The browse slots of the plug-in object: they use no state of the object.
#include "plugin/DatabaseBrowser.h"
#include "plugin/PluginImplementation.h"

int32_t PluginImplementation::GetItemInfo(const std::wstring& itemPath, ItemInfo& info) {
    return BrowseItemInfo(itemPath, info);
}

int32_t PluginImplementation::EnumItems(const std::wstring& itemPath, ItemEntryList& items) {
    return BrowseItems(itemPath, items);
}
