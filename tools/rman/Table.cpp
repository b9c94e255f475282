#include "tools/rman/Table.h"

namespace rmansim {

std::wstring Padded(const std::wstring& text, size_t width) {
    return text.size() >= width ? text + L" " : text + std::wstring(width - text.size() + 1, L' ');
}

std::wstring TableHeader(const std::vector<Column>& columns, const std::wstring& indent) {
    std::wstring headers = indent;
    std::wstring dashes = indent;
    for (const Column& column : columns) {
        headers += Padded(column.header, column.width);
        dashes += std::wstring(column.width, L'-') + L" ";
    }
    headers.erase(headers.find_last_not_of(L' ') + 1);
    dashes.erase(dashes.find_last_not_of(L' ') + 1);
    return headers + L"\n" + dashes;
}

std::wstring TableRow(const std::vector<Column>& columns, const std::vector<std::wstring>& values,
                      const std::wstring& indent) {
    std::wstring row = indent;
    for (size_t i = 0; i < columns.size() && i < values.size(); ++i)
        row += i + 1 < columns.size() ? Padded(values[i], columns[i].width) : values[i];
    return row;
}

} // namespace rmansim
