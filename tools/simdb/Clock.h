// The simulated database's own time: local time, kept as "YYYY-MM-DD HH:MM:SS" wherever the
// database records a moment (log switches, checkpoints, backups).
#pragma once

#include <string>

namespace simoracle {

std::wstring Timestamp();

} // namespace simoracle
