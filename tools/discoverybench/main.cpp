// discoverybench: registers many Oracle homes and instance services in the registry, times the
// browse operations on them, and removes the registration again.
//
// usage: discoverybench [HOMES [SERVICES [ROUNDS]]]   (defaults 1000 5000 5)
// Writes the keys KEY_BENCH<n> under HKLM\SOFTWARE\ORACLE and OracleServiceBENCH<n> under
// HKLM\SYSTEM\CurrentControlSet\Services; run it in a test machine's registry only.
#include "plugin/DatabaseBrowser.h"
#include "tools/simdb/Registry.h"
#include "virid/FormatString.h"
#include "virid/Win32Handles.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using simoracle::DeleteRegistryKey;
using simoracle::kOracleKey;
using simoracle::kServicesKey;
using simoracle::WriteRegistryString;

bool KeyExists(const std::wstring& keyPath) {
    VIRid::UniqueRegistryKey key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ | KEY_WOW64_64KEY,
                         key.receive()) == ERROR_SUCCESS;
}

std::wstring HomeName(unsigned index) {
    return FormatString(L"BENCH_HOME_%04u", index);
}
std::wstring HomeKey(unsigned index) {
    return FormatString(L"%s\\KEY_BENCH%04u", kOracleKey, index);
}
std::wstring ServiceKey(unsigned index) {
    return FormatString(L"%s\\OracleServiceBENCH%04u", kServicesKey, index);
}

// The registration that the benchmark adds; removed when it goes, whatever happened meanwhile.
class BenchRegistration {
public:
    BenchRegistration(unsigned homes, unsigned services) : homes_(homes), services_(services) {
        oracleKeyExisted_ = KeyExists(kOracleKey);
    }
    ~BenchRegistration() {
        for (unsigned i = 0; i < homes_; ++i)
            DeleteRegistryKey(HomeKey(i));
        for (unsigned i = 0; i < services_; ++i)
            DeleteRegistryKey(ServiceKey(i));
        if (!oracleKeyExisted_)
            // Fails, as it should, if anything else is below it.
            RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kOracleKey, KEY_WOW64_64KEY, 0);
    }
    BenchRegistration(const BenchRegistration&) = delete;
    BenchRegistration& operator=(const BenchRegistration&) = delete;

    // Home i lives in C:\bench\home<i>; service s runs from home s modulo the number of homes.
    bool Write() {
        for (unsigned i = 0; i < homes_; ++i) {
            if (!WriteRegistryString(HomeKey(i), L"ORACLE_HOME_NAME", HomeName(i)) ||
                !WriteRegistryString(HomeKey(i), L"ORACLE_HOME", HomeDirectory(i)))
                return false;
        }
        for (unsigned s = 0; s < services_; ++s) {
            const std::wstring imagePath = FormatString(L"%s\\bin\\ORACLE.EXE BENCH%04u",
                                                        HomeDirectory(s % homes_).c_str(), s);
            if (!WriteRegistryString(ServiceKey(s), L"ImagePath", imagePath))
                return false;
        }
        return true;
    }

private:
    static std::wstring HomeDirectory(unsigned index) {
        return FormatString(L"C:\\bench\\home%04u", index);
    }

    unsigned homes_;
    unsigned services_;
    bool oracleKeyExisted_ = false;
};

struct Timing {
    double fastestMs;
    double medianMs;
    size_t items;
};

Timing TimeRounds(unsigned rounds, const std::function<size_t()>& operation) {
    std::vector<double> durations;
    size_t items = 0;
    for (unsigned round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        items = operation();
        const auto end = std::chrono::steady_clock::now();
        durations.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(durations.begin(), durations.end());
    return Timing{durations.front(), durations[durations.size() / 2], items};
}

void PrintTiming(const char* what, const Timing& timing) {
    std::printf("%-34s %6zu items   fastest %9.1f ms   median %9.1f ms\n", what, timing.items,
                timing.fastestMs, timing.medianMs);
}

unsigned Argument(int argc, char** argv, int index, unsigned fallback) {
    if (argc <= index)
        return fallback;
    const long value = std::strtol(argv[index], nullptr, 10);
    return value > 0 ? static_cast<unsigned>(value) : 0;
}

} // namespace

int main(int argc, char** argv) {
    const unsigned homes = Argument(argc, argv, 1, 1000);
    const unsigned services = Argument(argc, argv, 2, 5000);
    const unsigned rounds = Argument(argc, argv, 3, 5);
    if (argc > 4 || homes == 0 || homes > 9999 || services > 9999 || rounds == 0) {
        std::fprintf(stderr, "usage: discoverybench [HOMES [SERVICES [ROUNDS]]]   "
                             "(1..9999 homes, 0..9999 services, rounds > 0)\n");
        return 2;
    }

    BenchRegistration registration(homes, services);
    const auto writeStart = std::chrono::steady_clock::now();
    if (!registration.Write()) {
        std::fprintf(stderr, "discoverybench: cannot write the registry keys\n");
        return 1;
    }
    const double writeMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - writeStart)
            .count();
    std::printf("registered %u homes and %u instance services in %.0f ms; %u rounds each\n", homes,
                services, writeMs, rounds);

    const std::wstring home = HomeName(homes / 2);
    const std::wstring instance = FormatString(L"%s\\BENCH%04u", home.c_str(), homes / 2);
    const auto list = [](const std::wstring& path) {
        ItemEntryList items;
        BrowseItems(path, items);
        return items.size();
    };
    const auto info = [](const std::wstring& path) {
        ItemInfo itemInfo;
        return static_cast<size_t>(BrowseItemInfo(path, itemInfo) == Success ? 1 : 0);
    };
    PrintTiming("EnumItems(root)", TimeRounds(rounds, [&] { return list(L""); }));
    PrintTiming("EnumItems(one home)", TimeRounds(rounds, [&] { return list(home); }));
    PrintTiming("GetItemInfo(one home)", TimeRounds(rounds, [&] { return info(home); }));
    PrintTiming("GetItemInfo(one instance)", TimeRounds(rounds, [&] { return info(instance); }));
    return 0;
}
