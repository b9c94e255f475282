// The records of browsing, turned from the plug-in's own types into the host's layout.
#pragma once

#include "host/HostItems.h"
#include "plugin/PluginContract.h"

// Stores the plug-in's description into the host's record, its text assigned into the host's
// string. Throws std::bad_alloc or std::length_error, leaving the record as it was.
void StoreItemInfo(const ItemInfo& from, HostItemInfo& to);
// Appends a copy of every entry at the end of the host's list. Throws std::bad_alloc or
// std::length_error; the entries appended until then stay.
void AppendItemEntries(const ItemEntryList& from, HostItemList& to);
