// What the plug-in object exchanges with its host, in the plug-in's own C++ types: result codes,
// log levels, the records of browsing, and the logger and settings source it calls. The host
// layer (host/) turns the host's objects into these and back.
#pragma once

#include <cstdint>
#include <list>
#include <string>

// Result codes of the job and browse operations.
enum BackupDataResult : int32_t {
    Success = 0,
    Failure = 1,
    UnknownItem = 3,
    EndOfData = 5,
    NotSupported = 6,
};

// Logger levels.
enum LogLevel : int32_t {
    LogProgress = 0,
    LogWarning = 1,
    LogError = 2,
    LogDetail = 3, // one line of the Recovery Manager dialogue
};

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

// The first three values of an item description.
struct ItemValues {
    int64_t value1;
    int64_t value2;
    int64_t value3;

    ItemValues(int64_t first, int64_t second, int64_t third)
        : value1(first), value2(second), value3(third) {}
};

// The description of one browsable item.
struct ItemInfo : ItemValues {
    enum : uint32_t { FolderAttribute = 0x10, PlainAttribute = 0x80 };

    int64_t value4;
    uint32_t attributes;  // Windows file-attribute values
    uint32_t validFields; // one validity bit each for value1 to value4
    std::wstring infoText;

    ItemInfo() : ItemValues(0, 0, 0), value4(0), attributes(0), validFields(0) {}
    ItemInfo(int64_t first, int64_t second, int64_t third, int64_t fourth, uint32_t attributeBits,
             uint32_t validBits)
        : ItemValues(first, second, third), value4(fourth), attributes(attributeBits),
          validFields(validBits) {}

    bool IsFolder() const { return (attributes & FolderAttribute) != 0; }
};

// One element of the list that EnumItems fills.
struct ItemEntry {
    ItemInfo info;
    std::wstring name; // the escaped item name
    std::wstring entryText;

    ItemEntry() {}
    ItemEntry(const ItemInfo& itemInfo, const std::wstring& itemName)
        : info(itemInfo), name(itemName) {}
};

typedef std::list<ItemEntry> ItemEntryList;
