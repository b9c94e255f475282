#include "tools/pluginhost/HostCommand.h"

#include "virid/FormatString.h"

#include <cstdio>

namespace {

const wchar_t* YesNo(bool value) {
    return value ? L"true" : L"false";
}

int PrintDescription(HostContext& context) {
    PluginDescription* info = context.plugin.GetPluginInfo();
    if (info == nullptr) {
        PrintText(stderr, L"pluginhost: the plug-in gave no description\n");
        return kExitFailure;
    }
    PrintText(stdout, FormatString(L"version: %s\nname: %s\nkind: %d\n", info->GetPluginVersion(),
                                   info->GetName(), info->GetKind()));
    PrintText(stdout,
              FormatString(L"flag 1: %s\nflag 2: %s\nflag 3: %s\n", YesNo(info->GetFirstFlag()),
                           YesNo(info->GetSecondFlag()), YesNo(info->GetThirdFlag())));
    info->Release();
    return kExitSuccess;
}

int PrintItem(HostContext& context, const std::wstring& itemPath) {
    PluginDataObject* source = CreateDataSource(context);
    if (source == nullptr)
        return kExitFailure;
    ItemInfo info;
    const int32_t result = source->GetItemInfo(itemPath, info);
    source->Release();
    if (result != Success) {
        PrintText(stdout, FormatString(L"%s: no such item\n", itemPath.c_str()));
        return kExitFailure;
    }
    PrintText(stdout, FormatString(L"%s: %s (attributes 0x%X)\n", itemPath.c_str(),
                                   info.IsFolder() ? L"Oracle home" : L"database instance",
                                   info.attributes));
    return kExitSuccess;
}

} // namespace

int RunInfoCommand(HostContext& context, const std::vector<std::wstring>& args) {
    if (args.empty())
        return PrintDescription(context);
    if (args.size() == 1)
        return PrintItem(context, args[0]);
    return kExitUsage;
}
