#include "tools/simdb/PieceNames.h"

namespace simoracle {

namespace {

std::wstring UniqueText(const PieceNameValues& values) {
    static const wchar_t alphabet[] = L"0123456789abcdefghijklmnopqrstuv";
    unsigned long long value = ((values.stamp & 0xFFFFF) << 20) |
                               (static_cast<unsigned long long>(values.setKey) & 0xFFFFF);
    std::wstring text(8, L'0');
    for (int i = 7; i >= 0; --i) {
        text[static_cast<size_t>(i)] = alphabet[value & 31];
        value >>= 5;
    }
    return text;
}

} // namespace

std::wstring ExpandPieceName(const std::wstring& format, const PieceNameValues& values) {
    std::wstring name;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != L'%' || i + 1 == format.size()) {
            name += format[i];
            continue;
        }
        const wchar_t variable = format[++i];
        switch (variable) {
        case L'd':
            name += values.dbName;
            break;
        case L'I':
            name += std::to_wstring(values.dbid);
            break;
        case L'T':
            name += values.date;
            break;
        case L'U':
            name += UniqueText(values) + L"_" + std::to_wstring(values.pieceNumber) + L"_1";
            break;
        case L'u':
            name += UniqueText(values);
            break;
        case L'h':
            name += std::to_wstring(values.thread);
            break;
        case L'e':
            name += std::to_wstring(values.sequence);
            break;
        case L's':
            name += std::to_wstring(values.setKey);
            break;
        case L'p':
            name += std::to_wstring(values.pieceNumber);
            break;
        case L'c':
            name += L"1";
            break;
        case L't':
            name += std::to_wstring(values.stamp);
            break;
        case L'%':
            name += L'%';
            break;
        default:
            name += L'%';
            name += variable;
            break;
        }
    }
    return name;
}

} // namespace simoracle
