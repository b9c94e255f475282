// Expansion of Recovery Manager's piece-name substitution variables.
#pragma once

#include <string>

namespace simoracle {

struct PieceNameValues {
    std::wstring dbName;
    unsigned long long dbid = 0;
    unsigned setKey = 0;
    unsigned pieceNumber = 1;
    unsigned long long stamp = 0;
    unsigned thread = 1;
    unsigned sequence = 0; // lowest log sequence in the set; 0 for other sets
    std::wstring date;     // YYYYMMDD
};

// %d database name, %I DBID, %T date YYYYMMDD, %U unique name (%u_%p_%c), %u 8-character
// unique text, %h thread, %e log sequence, %s set number, %p piece number, %c copy number,
// %t stamp, %% a percent sign. Any other %x stays as written.
std::wstring ExpandPieceName(const std::wstring& format, const PieceNameValues& values);

} // namespace simoracle
