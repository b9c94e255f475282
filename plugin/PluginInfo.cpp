#include "plugin/PluginInfo.h"

const wchar_t* PluginInfo::GetPluginVersion() {
    return L"1.0";
}

const wchar_t* PluginInfo::GetName() {
    return L"Oracle";
}

int32_t PluginInfo::GetKind() {
    return 1;
}

bool PluginInfo::GetFirstFlag() {
    return false;
}

bool PluginInfo::GetSecondFlag() {
    return false;
}

bool PluginInfo::GetThirdFlag() {
    return false;
}
