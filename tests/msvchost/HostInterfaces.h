// The host's interfaces, declared as the host declares them, so that the compiler (Microsoft's
// ABI) decides the slot tables and the object layout.
#pragma once

#include "MiniStl.h"

typedef long long int64_t;
typedef unsigned int uint32_t;
typedef int int32_t;

struct ItemValues {
    int64_t value1;
    int64_t value2;
    int64_t value3;
    ItemValues(int64_t first, int64_t second, int64_t third)
        : value1(first), value2(second), value3(third) {}
};

struct ItemInfo : ItemValues {
    int64_t value4;
    uint32_t attributes;
    uint32_t validFields;
    std::wstring infoText;
    ItemInfo() : ItemValues(0, 0, 0), value4(0), attributes(0), validFields(0) {}
};

struct ItemEntry {
    ItemInfo info;
    std::wstring name;
    std::wstring entryText;
};

static_assert(sizeof(ItemInfo) == 72 && sizeof(ItemEntry) == 136, "the host's records");

class IPluginInfo {
public:
    virtual ~IPluginInfo() {}
    virtual void Release() = 0;
    virtual const wchar_t* GetPluginVersion() = 0;
    virtual const wchar_t* GetName() = 0;
    virtual int32_t GetKind() = 0;
    virtual bool GetFirstFlag() = 0;
    virtual bool GetSecondFlag() = 0;
    virtual bool GetThirdFlag() = 0;
};

class IPluginLogger {
public:
    virtual void Log(int32_t level, const wchar_t* text) = 0;
};

class IPluginSettings {
public:
    virtual bool GetValue(const wchar_t* key, std::wstring* value) = 0;
};

class IBackupDataRead {
public:
    virtual ~IBackupDataRead() {}
    virtual void Release() = 0;
    virtual int32_t Open(const std::wstring& itemPath, uint32_t direction, uint32_t& handle) = 0;
    virtual int32_t Read(unsigned char* buffer, uint32_t& size, const uint32_t& handle) = 0;
    virtual int32_t ReadSlot4() = 0;
    virtual int32_t Close(const uint32_t& handle) = 0;
    virtual int32_t GetItemInfo(const std::wstring& itemPath, ItemInfo& info) = 0;
    virtual int32_t EnumItems(const std::wstring& itemPath, std::list<ItemEntry>& items) = 0;
    virtual void ReadSlot8() = 0;
};

class IBackupDataWrite : public virtual IBackupDataRead {
public:
    virtual int32_t Write(const unsigned char* buffer, uint32_t& size, const uint32_t& handle) = 0;
    virtual int32_t WriteSlot1() = 0;
    virtual int32_t WriteSlot2() = 0;
    virtual int32_t WriteSlot3() = 0;
    virtual int32_t WriteSlot4() = 0;
    virtual int32_t WriteSlot5() = 0;
    virtual int32_t WriteSlot6() = 0;
    virtual int32_t WriteSlot7() = 0;
};

typedef IPluginInfo* (*GetPluginInfoFunction)();
typedef IBackupDataRead* (*GetBackupDataReadFunction)(IPluginLogger*, IPluginSettings*);
typedef IBackupDataWrite* (*GetBackupDataWriteFunction)(IPluginLogger*, IPluginSettings*);
