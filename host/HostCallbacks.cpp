#include "host/HostCallbacks.h"

void HostLoggerLink::Log(int32_t level, const wchar_t* text) {
    if (host_ != nullptr)
        host_->table->Log(host_, level, text);
}

bool HostSettingsLink::GetValue(const wchar_t* key, std::wstring* value) {
    msstl::OwnedWString text(*value);
    const bool found = host_->table->GetValue(host_, key, &text.string);
    *value = text.string.ToStd();
    return found;
}
