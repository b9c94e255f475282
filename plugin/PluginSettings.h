// Reading of the host's named settings into the plug-in object's settings template.
#pragma once

#include "plugin/PluginContract.h"
#include "rman/OracleSettings.h"

#include <string>

// A missing key (found false) means true; otherwise only exactly "yes", "true" or "1" mean true.
bool ParseBooleanSetting(bool found, const std::wstring& text);

// A number of minutes as "RmanTimeout" gives it: decimal digits with at most one "." among them
// ("30", "0.5", ".05"); empty or blank means 0. False for anything else (a sign, an exponent, a
// comma, more than 9 digits before the point).
bool ParseMinutesSetting(const std::wstring& text, double& minutes);

// Reads "WSTempPath" into workstationTempPath and the other keys into settings. Texts are
// taken unchanged; a missing text key leaves the empty text. Returns the text of the first
// malformed value (empty when every value is well formed), for the jobs to refuse.
std::wstring ReadPluginSettings(PluginSettingsSource& source, std::wstring& workstationTempPath,
                                OracleSettings& settings);
