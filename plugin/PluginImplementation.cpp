#include "plugin/PluginImplementation.h"

#include "plugin/PluginSettings.h"

PluginImplementation::PluginImplementation(PluginLogger* hostLogger,
                                           PluginSettingsSource* settingsSource)
    : logger(hostLogger), jobCounter(0) {
    if (settingsSource != nullptr)
        settingsError = ReadPluginSettings(*settingsSource, workstationTempPath, settings,
                                           backupSettingsError, restoreSettingsError);
}

PluginImplementation::~PluginImplementation() {
    // The host only released the object: nothing may leave a destructor.
    try {
        CloseOpenJobs();
    } catch (...) {
        if (logger != nullptr)
            logger->Log(LogError, L"The jobs left open could not all be closed when the plug-in "
                                  L"object was released; their folders may stay");
    }
}

void PluginImplementation::Report(int32_t level, const std::wstring& text) const {
    if (logger != nullptr)
        logger->Log(level, text.c_str());
}

void ReportRmanOutput(void* context, const wchar_t* line) {
    static_cast<PluginImplementation*>(context)->Report(LogDetail, line);
}

int32_t PluginImplementation::ReservedReadSlot4() {
    return NotSupported;
}

void PluginImplementation::ReservedReadSlot8() {}

int32_t PluginImplementation::ReservedWriteSlot1() {
    return NotSupported;
}

int32_t PluginImplementation::ReservedWriteSlot2() {
    return NotSupported;
}

int32_t PluginImplementation::ReservedWriteSlot3() {
    return NotSupported;
}

int32_t PluginImplementation::ReservedWriteSlot4() {
    return NotSupported;
}

int32_t PluginImplementation::ReservedWriteSlot5() {
    return NotSupported;
}

int32_t PluginImplementation::ReservedWriteSlot6() {
    return Success;
}

int32_t PluginImplementation::ReservedWriteSlot7() {
    return Success;
}
