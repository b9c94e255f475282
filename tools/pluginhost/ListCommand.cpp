#include "tools/pluginhost/HostCommand.h"

#include "virid/FormatString.h"

#include <cstdio>

namespace {

// The item names of one level, as the plug-in lists them; complete turns false when the plug-in
// fails (its error has reached the logger), keeping what it listed until then.
ItemEntryList ListLevel(PluginDataObject& source, const std::wstring& itemPath, bool& complete) {
    ItemEntryList items;
    if (source.EnumItems(itemPath, items) != Success)
        complete = false;
    return items;
}

// Every home, each followed by its instances indented by two spaces.
int PrintTree(PluginDataObject& source) {
    bool complete = true;
    for (const ItemEntry& home : ListLevel(source, L"", complete)) {
        PrintText(stdout, home.name + L"\n");
        for (const ItemEntry& instance : ListLevel(source, home.name, complete))
            PrintText(stdout, L"  " + instance.name + L"\n");
    }
    return complete ? kExitSuccess : kExitFailure;
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
    bool complete = true;
    for (const ItemEntry& item : ListLevel(source, itemPath, complete))
        PrintText(stdout, item.name + L"\n");
    return complete ? kExitSuccess : kExitFailure;
}

} // namespace

int RunListCommand(HostContext& context, const std::vector<std::wstring>& args) {
    if (args.size() > 1)
        return kExitUsage;
    PluginDataObject* source = CreateDataSource(context);
    if (source == nullptr)
        return kExitFailure;
    const int status = args.empty() ? PrintTree(*source) : PrintLevel(*source, args[0]);
    source->Release();
    return status;
}
