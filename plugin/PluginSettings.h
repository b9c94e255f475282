// Reading of the host's named settings into the plug-in object's settings template.
#pragma once

#include "plugin/PluginContract.h"
#include "rman/OracleSettings.h"

#include <string>

// A missing key (found false) means true; otherwise only exactly "yes", "true" or "1" mean true.
bool ParseBooleanSetting(bool found, const std::wstring& text);

// Reads "WSTempPath" into workstationTempPath and the eight other keys into settings. Texts are
// taken unchanged; a missing text key leaves the empty text.
void ReadPluginSettings(PluginSettingsSource& source, std::wstring& workstationTempPath,
                        OracleSettings& settings);
