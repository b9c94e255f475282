// The plug-in's description, handed out by GetPluginInfo.
#pragma once

#include "plugin/HostInterfaces.h"

class PluginInfo : public IPluginInfo {
public:
    void Release() override;
    const wchar_t* GetPluginVersion() override; // "1.0"
    const wchar_t* GetName() override;          // "Oracle"
    int32_t GetKind() override;                 // 1
    bool GetFirstFlag() override;               // false
    bool GetSecondFlag() override;              // false
    bool GetThirdFlag() override;               // false
};
