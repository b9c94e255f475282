#include "plugin/PluginSettings.h"
#include "tools/pluginhost/HostCommand.h"

#include "virid/FormatString.h"
#include "virid/Strings.h"

#include <cstdio>
#include <iterator>
#include <vector>

#include <windows.h>

namespace {

const wchar_t* YesNo(bool value) {
    return value ? L"true" : L"false";
}

// The file version in the plug-in library's version resource, as Windows shows it under the
// file's Properties > Details; "none" when the library carries none.
std::wstring PluginFileVersion(const std::wstring& path) {
    const wchar_t kNoVersion[] = L"none";
    if (path.empty())
        return kNoVersion;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return kNoVersion;
    std::vector<unsigned char> resource(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!GetFileVersionInfoW(path.c_str(), 0, size, resource.data()) ||
        !VerQueryValueW(resource.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
        fixedSize < sizeof(VS_FIXEDFILEINFO))
        return kNoVersion;
    return FormatString(L"%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS),
                        LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                        LOWORD(fixed->dwFileVersionLS));
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
    const std::vector<std::wstring> keys(std::begin(kSettingKeys), std::end(kSettingKeys));
    PrintText(stdout, L"settings: " + VIRid::strings::Join(keys, L" ") + L"\n");
    PrintText(stdout, FormatString(L"file version: %s\n",
                                   PluginFileVersion(context.plugin.FilePath()).c_str()));
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
