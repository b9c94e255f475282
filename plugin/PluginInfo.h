// The plug-in's description, handed out by GetPluginInfo (host/ makes the host's IPluginInfo of
// it).
#pragma once

#include <cstdint>

class PluginInfo {
public:
    const wchar_t* GetPluginVersion(); // "1.0"
    const wchar_t* GetName();          // "Oracle"
    int32_t GetKind();                 // 1
    bool GetFirstFlag();               // false
    bool GetSecondFlag();              // false
    bool GetThirdFlag();               // false
};
