#include "tools/pluginhost/HostCommand.h"

#include "virid/FormatString.h"

#include <cstdio>

namespace {

// The item names of one level, as the plug-in lists them.
ItemEntryList ListLevel(PluginDataObject& source, const std::wstring& itemPath) {
    ItemEntryList items;
    source.EnumItems(itemPath, items);
    return items;
}

// Every home, each followed by its instances indented by two spaces.
void PrintTree(PluginDataObject& source) {
    for (const ItemEntry& home : ListLevel(source, L"")) {
        PrintText(stdout, home.name + L"\n");
        for (const ItemEntry& instance : ListLevel(source, home.name))
            PrintText(stdout, L"  " + instance.name + L"\n");
    }
}

int PrintLevel(PluginDataObject& source, const std::wstring& itemPath) {
    // The root is no item; anything else must be a home to have a level below it.
    if (!itemPath.empty()) {
        ItemInfo info;
        if (source.GetItemInfo(itemPath, info) != Success || !info.IsFolder()) {
            PrintText(stderr,
                      FormatString(L"pluginhost: %s: not an Oracle home\n", itemPath.c_str()));
            return kExitFailure;
        }
    }
    for (const ItemEntry& item : ListLevel(source, itemPath))
        PrintText(stdout, item.name + L"\n");
    return kExitSuccess;
}

} // namespace

int RunListCommand(HostContext& context, const std::vector<std::wstring>& args) {
    if (args.size() > 1)
        return kExitUsage;
    PluginDataObject* source = CreateDataSource(context);
    if (source == nullptr)
        return kExitFailure;
    int status = kExitSuccess;
    if (args.empty())
        PrintTree(*source);
    else
        status = PrintLevel(*source, args[0]);
    source->Release();
    return status;
}
