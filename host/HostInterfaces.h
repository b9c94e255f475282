// The contract between the backup host application and a data plug-in, declared as a host built
// with Microsoft's C++ compiler (x64, Release, _ITERATOR_DEBUG_LEVEL 0) declares it. A host needs
// this header and plugin/HostContract.h (the result codes, log levels, records and HOST_CALL),
// both under one include folder.
//
// The host loads the plug-in library and calls its three exports. The virtual operations below
// are in the host's slot order; wide standard strings and lists cross the boundary by reference,
// in the Microsoft library's layout and allocation rule. The plug-in does not compile this header:
// host/HostAbi.h writes the same tables, objects and records out for any compiler, and
// host/PluginObjects.cpp builds the plug-in's objects to them.
#pragma once

#include "plugin/HostContract.h"

#include <cstdint>
#include <cwctype>
#include <list>
#include <string>

typedef BasicItemInfo<std::wstring> ItemInfo;
typedef BasicItemEntry<std::wstring> ItemEntry;
typedef std::list<ItemEntry> ItemEntryList;

// Equal when at least one of value1, value3 and value4 is valid in both records, and each of
// these that is valid in both is equal in both.
inline bool operator==(const ItemInfo& left, const ItemInfo& right) {
    const uint32_t common = left.validFields & right.validFields;
    if ((common & (ItemInfo::Value1Valid | ItemInfo::Value3Valid | ItemInfo::Value4Valid)) == 0)
        return false;
    if ((common & ItemInfo::Value1Valid) && left.value1 != right.value1)
        return false;
    if ((common & ItemInfo::Value3Valid) && left.value3 != right.value3)
        return false;
    if ((common & ItemInfo::Value4Valid) && left.value4 != right.value4)
        return false;
    return true;
}

inline bool operator==(const ItemEntry& left, const ItemEntry& right) {
    return left.name == right.name && left.info == right.info;
}

// Folders first; then by name, compared case-insensitively character by character, a shorter
// name first on an equal common prefix.
inline bool operator<(const ItemEntry& left, const ItemEntry& right) {
    if (left.info.IsFolder() != right.info.IsFolder())
        return left.info.IsFolder();
    const size_t common =
        left.name.size() < right.name.size() ? left.name.size() : right.name.size();
    for (size_t i = 0; i < common; ++i) {
        const wint_t mine = std::towlower(static_cast<wint_t>(left.name[i]));
        const wint_t theirs = std::towlower(static_cast<wint_t>(right.name[i]));
        if (mine != theirs)
            return mine < theirs;
    }
    return left.name.size() < right.name.size();
}

class IPluginInfo {
public:
    virtual ~IPluginInfo() {}
    virtual void HOST_CALL Release() = 0;
    virtual const wchar_t* HOST_CALL GetPluginVersion() = 0;
    virtual const wchar_t* HOST_CALL GetName() = 0;
    virtual int32_t HOST_CALL GetKind() = 0;
    // Three yes/no questions whose meaning belongs to the host.
    virtual bool HOST_CALL GetFirstFlag() = 0;
    virtual bool HOST_CALL GetSecondFlag() = 0;
    virtual bool HOST_CALL GetThirdFlag() = 0;
};

// Receives the plug-in's messages. May be called from several threads; the text is valid only
// during the call.
class IPluginLogger {
public:
    virtual void HOST_CALL Log(int32_t level, const wchar_t* text) = 0;

protected:
    ~IPluginLogger() {}
};

// Named text settings. GetValue returns true with the text in *value when the key exists, and
// false, leaving *value untouched, when it does not.
class IPluginSettings {
public:
    virtual bool HOST_CALL GetValue(const wchar_t* key, std::wstring* value) = 0;

protected:
    ~IPluginSettings() {}
};

// The data source: browsing, and backup jobs that the host reads.
class IBackupDataRead {
public:
    virtual ~IBackupDataRead() {}
    virtual void HOST_CALL Release() = 0;
    // direction 0 opens a backup job, any other value a restore job. handle is set to 0 first.
    virtual int32_t HOST_CALL Open(const std::wstring& itemPath, uint32_t direction,
                                   uint32_t& handle) = 0;
    // size: the buffer's capacity in, the bytes delivered out.
    virtual int32_t HOST_CALL Read(unsigned char* buffer, uint32_t& size,
                                   const uint32_t& handle) = 0;
    virtual int32_t HOST_CALL ReservedReadSlot4() = 0;
    virtual int32_t HOST_CALL Close(const uint32_t& handle) = 0;
    virtual int32_t HOST_CALL GetItemInfo(const std::wstring& itemPath, ItemInfo& info) = 0;
    virtual int32_t HOST_CALL EnumItems(const std::wstring& itemPath, ItemEntryList& items) = 0;
    virtual void HOST_CALL ReservedReadSlot8() = 0;
};

// The data sink: restore jobs that the host writes.
class IBackupDataWrite : public virtual IBackupDataRead {
public:
    virtual int32_t HOST_CALL Write(const unsigned char* buffer, uint32_t& size,
                                    const uint32_t& handle) = 0;
    virtual int32_t HOST_CALL ReservedWriteSlot1() = 0;
    virtual int32_t HOST_CALL ReservedWriteSlot2() = 0;
    virtual int32_t HOST_CALL ReservedWriteSlot3() = 0;
    virtual int32_t HOST_CALL ReservedWriteSlot4() = 0;
    virtual int32_t HOST_CALL ReservedWriteSlot5() = 0;
    virtual int32_t HOST_CALL ReservedWriteSlot6() = 0;
    virtual int32_t HOST_CALL ReservedWriteSlot7() = 0;
};

// Signatures of the three exports, for hosts that load the library dynamically.
typedef IPluginInfo*(HOST_CALL* GetPluginInfoFunction)();
typedef IBackupDataRead*(HOST_CALL* GetBackupDataReadFunction)(IPluginLogger* logger,
                                                               IPluginSettings* settings);
typedef IBackupDataWrite*(HOST_CALL* GetBackupDataWriteFunction)(IPluginLogger* logger,
                                                                 IPluginSettings* settings);
