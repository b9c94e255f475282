// The password file of a simulated database: the one account that "connect target" accepts,
// its password kept only as a SHA-256.
#pragma once

#include "tools/simdb/Layout.h"

#include <string>

namespace simoracle {

bool WritePasswordFile(const DatabaseFiles& files, const std::wstring& user,
                       const std::wstring& password);
// The user name compares without regard to case, the password exactly. False also when the
// password file is missing or damaged.
bool CheckPassword(const DatabaseFiles& files, const std::wstring& user,
                   const std::wstring& password);

} // namespace simoracle
