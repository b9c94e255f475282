// The contract between the backup host application and a data plug-in, declared as a host built
// with Microsoft's C++ compiler (x64, Release, _ITERATOR_DEBUG_LEVEL 0) declares it.
//
// The host loads the plug-in library and calls its three exports. The virtual operations below
// are in the host's slot order; wide standard strings and lists cross the boundary by reference,
// in the Microsoft library's layout and allocation rule. The plug-in does not compile this header:
// host/HostAbi.h writes the same tables, objects and records out for any compiler, and
// host/PluginObjects.cpp builds the plug-in's objects to them.
#pragma once

#include <cstdint>
#include <cwctype>
#include <list>
#include <string>

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

class IPluginInfo {
public:
    virtual ~IPluginInfo() {}
    virtual void Release() = 0;
    virtual const wchar_t* GetPluginVersion() = 0;
    virtual const wchar_t* GetName() = 0;
    virtual int32_t GetKind() = 0;
    // Three yes/no questions whose meaning belongs to the host.
    virtual bool GetFirstFlag() = 0;
    virtual bool GetSecondFlag() = 0;
    virtual bool GetThirdFlag() = 0;
};

// Receives the plug-in's messages. May be called from several threads; the text is valid only
// during the call.
class IPluginLogger {
public:
    virtual void Log(int32_t level, const wchar_t* text) = 0;

protected:
    ~IPluginLogger() {}
};

// Named text settings. GetValue returns true with the text in *value when the key exists, and
// false, leaving *value untouched, when it does not.
class IPluginSettings {
public:
    virtual bool GetValue(const wchar_t* key, std::wstring* value) = 0;

protected:
    ~IPluginSettings() {}
};

// The first three values of an item description.
struct ItemValues {
    int64_t value1;
    int64_t value2;
    int64_t value3;

    ItemValues(int64_t first, int64_t second, int64_t third)
        : value1(first), value2(second), value3(third) {}
};

// The host's description of one browsable item.
struct ItemInfo : ItemValues {
    enum : uint32_t { Value1Valid = 0x1, Value2Valid = 0x2, Value3Valid = 0x4, Value4Valid = 0x8 };
    enum : uint32_t { FolderAttribute = 0x10, PlainAttribute = 0x80 };

    int64_t value4;
    uint32_t attributes;  // Windows file-attribute values
    uint32_t validFields; // Value1Valid ... Value4Valid
    std::wstring infoText;

    ItemInfo() : ItemValues(0, 0, 0), value4(0), attributes(0), validFields(0) {}
    ItemInfo(int64_t first, int64_t second, int64_t third, int64_t fourth, uint32_t attributeBits,
             uint32_t validBits)
        : ItemValues(first, second, third), value4(fourth), attributes(attributeBits),
          validFields(validBits) {}

    bool IsFolder() const { return (attributes & FolderAttribute) != 0; }

    // Equal when at least one of value1, value3 and value4 is valid in both records, and each of
    // these that is valid in both is equal in both.
    bool operator==(const ItemInfo& other) const {
        const uint32_t common = validFields & other.validFields;
        if ((common & (Value1Valid | Value3Valid | Value4Valid)) == 0)
            return false;
        if ((common & Value1Valid) && value1 != other.value1)
            return false;
        if ((common & Value3Valid) && value3 != other.value3)
            return false;
        if ((common & Value4Valid) && value4 != other.value4)
            return false;
        return true;
    }
};

// One element of the list that EnumItems fills.
struct ItemEntry {
    ItemInfo info;
    std::wstring name; // the escaped item name
    std::wstring entryText;

    ItemEntry() {}
    ItemEntry(const ItemInfo& itemInfo, const std::wstring& itemName)
        : info(itemInfo), name(itemName) {}

    bool operator==(const ItemEntry& other) const {
        return name == other.name && info == other.info;
    }

    // Folders first; then by name, compared case-insensitively character by character, a
    // shorter name first on an equal common prefix.
    bool operator<(const ItemEntry& other) const {
        if (info.IsFolder() != other.info.IsFolder())
            return info.IsFolder();
        const size_t common = name.size() < other.name.size() ? name.size() : other.name.size();
        for (size_t i = 0; i < common; ++i) {
            const wint_t mine = std::towlower(static_cast<wint_t>(name[i]));
            const wint_t theirs = std::towlower(static_cast<wint_t>(other.name[i]));
            if (mine != theirs)
                return mine < theirs;
        }
        return name.size() < other.name.size();
    }
};

typedef std::list<ItemEntry> ItemEntryList;

// The data source: browsing, and backup jobs that the host reads.
class IBackupDataRead {
public:
    virtual ~IBackupDataRead() {}
    virtual void Release() = 0;
    // direction 0 opens a backup job, any other value a restore job. handle is set to 0 first.
    virtual int32_t Open(const std::wstring& itemPath, uint32_t direction, uint32_t& handle) = 0;
    // size: the buffer's capacity in, the bytes delivered out.
    virtual int32_t Read(unsigned char* buffer, uint32_t& size, const uint32_t& handle) = 0;
    virtual int32_t ReservedReadSlot4() = 0;
    virtual int32_t Close(const uint32_t& handle) = 0;
    virtual int32_t GetItemInfo(const std::wstring& itemPath, ItemInfo& info) = 0;
    virtual int32_t EnumItems(const std::wstring& itemPath, ItemEntryList& items) = 0;
    virtual void ReservedReadSlot8() = 0;
};

// The data sink: restore jobs that the host writes.
class IBackupDataWrite : public virtual IBackupDataRead {
public:
    virtual int32_t Write(const unsigned char* buffer, uint32_t& size, const uint32_t& handle) = 0;
    virtual int32_t ReservedWriteSlot1() = 0;
    virtual int32_t ReservedWriteSlot2() = 0;
    virtual int32_t ReservedWriteSlot3() = 0;
    virtual int32_t ReservedWriteSlot4() = 0;
    virtual int32_t ReservedWriteSlot5() = 0;
    virtual int32_t ReservedWriteSlot6() = 0;
    virtual int32_t ReservedWriteSlot7() = 0;
};

// Signatures of the three exports, for hosts that load the library dynamically.
typedef IPluginInfo* (*GetPluginInfoFunction)();
typedef IBackupDataRead* (*GetBackupDataReadFunction)(IPluginLogger* logger,
                                                      IPluginSettings* settings);
typedef IBackupDataWrite* (*GetBackupDataWriteFunction)(IPluginLogger* logger,
                                                        IPluginSettings* settings);
