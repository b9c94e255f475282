// What the plug-in object exchanges with its host, in the plug-in's own C++ types: the contract's
// result codes, log levels and records (plugin/HostContract.h) with the plug-in's strings and
// lists, and the logger and settings source it calls. The host layer (host/) turns the host's
// objects into these and back.
#pragma once

#include "plugin/HostContract.h"

#include <cstdint>
#include <list>
#include <string>

typedef BasicItemInfo<std::wstring> ItemInfo;
typedef BasicItemEntry<std::wstring> ItemEntry;
typedef std::list<ItemEntry> ItemEntryList;

// Receives the plug-in's messages. May be called from several threads; the text is valid only
// during the call.
class PluginLogger {
public:
    virtual void Log(int32_t level, const wchar_t* text) = 0;

protected:
    ~PluginLogger() {}
};

// Named text settings. GetValue returns true with the text in *value when the key exists, and
// false, leaving *value untouched, when it does not.
class PluginSettingsSource {
public:
    virtual bool GetValue(const wchar_t* key, std::wstring* value) = 0;

protected:
    ~PluginSettingsSource() {}
};
