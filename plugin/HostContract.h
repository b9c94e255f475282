// The host contract as both sides of the boundary compile it: the calling convention of its slots,
// its result codes and log levels, and the records of browsing. It needs nothing but <cstdint>, so
// that the plug-in (plugin/PluginContract.h) and a host built with Microsoft's compiler
// (host/HostInterfaces.h) share one definition; each side gives the records its own wide string.
#pragma once

#include <cstdint>

// The calling convention of every slot and export. x64 has one (this or the first argument in
// RCX, then RDX, R8, R9 and the stack); Microsoft's compiler and MinGW-w64 both call it __cdecl.
// No slot is compiled outside Windows.
#ifdef _WIN32
#define HOST_CALL __cdecl
#else
#define HOST_CALL
#endif

// Result codes of the IBackupDataRead and IBackupDataWrite operations.
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

// The first three values of an item description.
struct ItemValues {
    int64_t value1;
    int64_t value2;
    int64_t value3;

    ItemValues(int64_t first, int64_t second, int64_t third)
        : value1(first), value2(second), value3(third) {}
};

// The description of one browsable item (ItemInfo); WideString is the side's std::wstring.
template <typename WideString> struct BasicItemInfo : ItemValues {
    enum : uint32_t { Value1Valid = 0x1, Value2Valid = 0x2, Value3Valid = 0x4, Value4Valid = 0x8 };
    enum : uint32_t { FolderAttribute = 0x10, PlainAttribute = 0x80 };

    int64_t value4;
    uint32_t attributes;  // Windows file-attribute values
    uint32_t validFields; // Value1Valid ... Value4Valid
    WideString infoText;

    BasicItemInfo() : ItemValues(0, 0, 0), value4(0), attributes(0), validFields(0) {}
    BasicItemInfo(int64_t first, int64_t second, int64_t third, int64_t fourth,
                  uint32_t attributeBits, uint32_t validBits)
        : ItemValues(first, second, third), value4(fourth), attributes(attributeBits),
          validFields(validBits) {}

    bool IsFolder() const { return (attributes & FolderAttribute) != 0; }
};

// One element of the list that EnumItems fills (ItemEntry).
template <typename WideString> struct BasicItemEntry {
    BasicItemInfo<WideString> info;
    WideString name; // the escaped item name
    WideString entryText;

    BasicItemEntry() {}
    BasicItemEntry(const BasicItemInfo<WideString>& itemInfo, const WideString& itemName)
        : info(itemInfo), name(itemName) {}
};
