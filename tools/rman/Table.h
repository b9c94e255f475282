// Recovery Manager's tables: columns of fixed widths, each followed by one blank, a header line
// over a line of dashes, and rows. A value wider than its column pushes the rest to the right,
// as Recovery Manager's do.
#pragma once

#include <string>
#include <vector>

namespace rmansim {

struct Column {
    std::wstring header;
    size_t width; // without the blank after it; at least the header's length
};

// text, then blanks up to width, then the blank that ends the column (only that one when text
// is as wide as width or wider).
std::wstring Padded(const std::wstring& text, size_t width);
// The header line and the dashes line, each after indent; the header line without blanks at its
// end.
std::wstring TableHeader(const std::vector<Column>& columns, const std::wstring& indent = L"");
std::wstring TableRow(const std::vector<Column>& columns, const std::vector<std::wstring>& values,
                      const std::wstring& indent = L"");

} // namespace rmansim
