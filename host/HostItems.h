// The records of browsing as the host lays them out: ItemInfo (72 bytes), ItemEntry (136 bytes)
// and the host's std::list of ItemEntry (nodes of 152 bytes), with Microsoft-layout strings. The
// fields are those of the contract's records (plugin/HostContract.h), written out flat so that
// they can live in raw memory that the host allocated.
#pragma once

#include "host/MsList.h"
#include "host/MsString.h"
#include "plugin/HostContract.h"

#include <cstddef>
#include <cstdint>

struct HostItemInfo {
    int64_t value1; // value1 to value3 form the host's base sub-record
    int64_t value2;
    int64_t value3;
    int64_t value4;
    uint32_t attributes;
    uint32_t validFields;
    msstl::WString infoText;
};

struct HostItemEntry {
    HostItemInfo info;
    msstl::WString name;
    msstl::WString entryText;
};

typedef msstl::List<HostItemEntry> HostItemList;

static_assert(sizeof(HostItemInfo) == 72, "ItemInfo is 72 bytes");
static_assert(offsetof(HostItemInfo, value4) == 24 && offsetof(HostItemInfo, attributes) == 32 &&
                  offsetof(HostItemInfo, validFields) == 36 &&
                  offsetof(HostItemInfo, infoText) == 40,
              "ItemInfo's field offsets");
static_assert(sizeof(HostItemEntry) == 136, "ItemEntry is 136 bytes");
static_assert(offsetof(HostItemEntry, name) == 72 && offsetof(HostItemEntry, entryText) == 104,
              "ItemEntry's field offsets");
static_assert(sizeof(msstl::ListNode<HostItemEntry>) == 152, "a list node of ItemEntry");
static_assert(sizeof(BasicItemInfo<msstl::WString>) == sizeof(HostItemInfo) &&
                  sizeof(BasicItemEntry<msstl::WString>) == sizeof(HostItemEntry),
              "the contract's records with the host's strings");

// Frees the strings of an entry; raw memory afterwards (how the host's list destroys a node).
inline void DestroyHostItemEntry(HostItemEntry& entry) {
    msstl::Destroy(entry.info.infoText);
    msstl::Destroy(entry.name);
    msstl::Destroy(entry.entryText);
}
