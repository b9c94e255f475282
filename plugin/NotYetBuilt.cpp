// Placeholders while the operations below are being written; removed when they land.
#include "plugin/PluginImplementation.h"

int32_t PluginImplementation::Open(const std::wstring&, uint32_t, uint32_t& handle) {
    handle = 0;
    return NotSupported;
}
int32_t PluginImplementation::Read(unsigned char*, uint32_t&, const uint32_t&) {
    return NotSupported;
}
int32_t PluginImplementation::Write(const unsigned char*, uint32_t&, const uint32_t&) {
    return NotSupported;
}
int32_t PluginImplementation::Close(const uint32_t&) { return NotSupported; }
