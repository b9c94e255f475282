// Browsing of the Oracle homes and their instances as a two-level tree of items.
// Item paths: "" (the root), an escaped home name, or an escaped home name, "\" and an escaped SID.
#pragma once

#include "plugin/PluginContract.h"

#include <string>

// Success with info filled when the path names a home or an instance; UnknownItem otherwise
// (info untouched).
int32_t BrowseItemInfo(const std::wstring& itemPath, ItemInfo& info);

// Appends the items of one level (the homes under the root, the instances under a home) to
// items; always Success.
int32_t BrowseItems(const std::wstring& itemPath, ItemEntryList& items);
