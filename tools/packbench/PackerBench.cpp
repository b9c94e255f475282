// Times DirPacker against GNU tar on the same generated tree.
//
//   packer_bench [--size-mib N] [--rounds N] [--folder DIR] [--keep]
//
// Generates N MiB (default 2048) of incompressible data in a mix of large and small files, then
// in each round packs and unpacks it through DirPacker::Read and DirPacker::Write with a 1 MiB
// buffer (digests included), and runs "tar -cf - | tar -xf -" on the same tree. Prints the best
// MB/s of both, their ratio, and the peak memory of the process. Under Wine, GNU tar is started
// as a Unix program through Z:\bin\sh, on the Unix path of the same folder, which must then be
// on drive Z: (the default is Z:\tmp\packer-bench-<pid>).
#include "virid/DirPacker.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <psapi.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kHostBuffer = 1 << 20;

struct Options {
    uint64_t sizeMib = 2048;
    int rounds = 2;
    fs::path folder;
    bool keep = false;
};

uint64_t PeakMemoryBytes() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return counters.PeakWorkingSetSize;
#else
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<uint64_t>(usage.ru_maxrss) * 1024;
#endif
}

int ProcessId() {
#ifdef _WIN32
    return static_cast<int>(GetCurrentProcessId());
#else
    return static_cast<int>(getpid());
#endif
}

// The folder as the shell that runs tar sees it.
std::string ShellPath(const fs::path& path) {
#ifdef _WIN32
    std::string text = path.string();
    if (text.size() < 3 || (text[0] != 'Z' && text[0] != 'z') || text[1] != ':')
        return "";
    text.erase(0, 2);
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
#else
    return path.string();
#endif
}

int RunShell(const std::string& command) {
#ifdef _WIN32
    // Wine starts a Unix program given by its Z: path, but its process handle is signalled at
    // once: the shell leaves its exit code in a marker file, which is waited for instead.
    static int runs = 0;
    const std::string marker =
        "/tmp/packer-bench-done-" + std::to_string(ProcessId()) + "-" + std::to_string(++runs);
    const fs::path markerPath = "Z:" + marker;
    const std::string script =
        command + "; echo $? > " + marker + ".part && mv " + marker + ".part " + marker;
    std::wstring line = L"sh -c \"" + std::wstring(script.begin(), script.end()) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(L"Z:\\bin\\sh", &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    while (!fs::exists(markerPath))
        Sleep(1);
    int code = -1;
    std::ifstream(markerPath) >> code;
    std::error_code ignored;
    fs::remove(markerPath, ignored);
    return code;
#else
    return std::system(("sh -c \"" + command + "\"").c_str());
#endif
}

// Fast incompressible bytes (xorshift64*).
class Noise {
public:
    explicit Noise(uint64_t seed) : state_(seed | 1) {}
    void Fill(std::vector<unsigned char>& buffer) {
        for (size_t i = 0; i + 8 <= buffer.size(); i += 8) {
            state_ ^= state_ >> 12;
            state_ ^= state_ << 25;
            state_ ^= state_ >> 27;
            const uint64_t value = state_ * 0x2545F4914F6CDD1DULL;
            std::memcpy(&buffer[i], &value, 8);
        }
    }
    uint64_t Next(uint64_t bound) {
        std::vector<unsigned char> bytes(8);
        Fill(bytes);
        uint64_t value;
        std::memcpy(&value, bytes.data(), 8);
        return value % bound;
    }

private:
    uint64_t state_;
};

bool WriteNoiseFile(const fs::path& path, uint64_t size, Noise& noise) {
    std::ofstream out(path, std::ios::binary);
    std::vector<unsigned char> buffer(kHostBuffer);
    while (size > 0 && out) {
        noise.Fill(buffer);
        const uint64_t piece = std::min<uint64_t>(size, buffer.size());
        out.write(reinterpret_cast<const char*>(buffer.data()),
                  static_cast<std::streamsize>(piece));
        size -= piece;
    }
    return static_cast<bool>(out);
}

// Three quarters of the bytes in four large files, the rest in small files of 4 KiB to 8 MiB
// spread over a few folders, as a database backup with its control file and logs looks.
uint64_t GenerateTree(const fs::path& root, uint64_t total, int& files) {
    Noise noise(12345);
    fs::create_directories(root);
    uint64_t written = 0;
    const uint64_t large = total * 3 / 16;
    for (int i = 0; i < 4; ++i) {
        if (!WriteNoiseFile(root / ("DATAFILE_" + std::to_string(i) + ".BKP"), large, noise))
            return 0;
        written += large;
        ++files;
    }
    for (int folder = 0; written < total; folder = (folder + 1) % 8) {
        const fs::path dir = root / ("logs_" + std::to_string(folder));
        fs::create_directories(dir);
        const uint64_t size = std::min<uint64_t>(total - written, 4096 + noise.Next(8 << 20));
        if (!WriteNoiseFile(dir / ("ARCH_" + std::to_string(files) + ".ARC"), size, noise))
            return 0;
        written += size;
        ++files;
    }
    return written;
}

std::wstring Wide(const fs::path& path) {
    return path.wstring();
}

// Packs source and unpacks into target through the host's calls; seconds, or -1 on failure.
double RunOurs(const fs::path& source, const fs::path& target) {
    fs::create_directories(target);
    std::vector<unsigned char> buffer(kHostBuffer);
    const auto start = std::chrono::steady_clock::now();
    VIRid::DirPacker packer;
    VIRid::DirPacker unpacker;
    if (packer.Open(Wide(source), true) != VIRid::DirPacker::Ok ||
        unpacker.Open(Wide(target), false) != VIRid::DirPacker::Ok)
        return -1;
    while (true) {
        uint32_t size = kHostBuffer;
        const int result = packer.Read(buffer.data(), size);
        if (result == VIRid::DirPacker::EndOfStream)
            break;
        if (result != VIRid::DirPacker::Ok || unpacker.Write(buffer.data(), size) != 0) {
            std::fprintf(stderr, "failed: %ls%ls\n", packer.GetErrorText().c_str(),
                         unpacker.GetErrorText().c_str());
            return -1;
        }
    }
    if (packer.Close() != VIRid::DirPacker::Ok || unpacker.Close() != VIRid::DirPacker::Ok) {
        std::fprintf(stderr, "failed: %ls\n", unpacker.GetErrorText().c_str());
        return -1;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double RunTar(const fs::path& source, const fs::path& target) {
    fs::create_directories(target);
    const std::string from = ShellPath(source), to = ShellPath(target);
    if (from.empty() || to.empty())
        return -1;
    const auto start = std::chrono::steady_clock::now();
    if (RunShell("tar -cf - -C '" + from + "' . | tar -xf - -C '" + to + "'") != 0)
        return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Lets earlier writes reach the disk so that the next run does not pay for them.
void Settle(const fs::path& remove) {
    std::error_code ignored;
    fs::remove_all(remove, ignored);
    RunShell("sync");
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--size-mib" && hasValue)
            options.sizeMib = std::strtoull(argv[++i], nullptr, 10);
        else if (arg == "--rounds" && hasValue)
            options.rounds = std::atoi(argv[++i]);
        else if (arg == "--folder" && hasValue)
            options.folder = argv[++i];
        else if (arg == "--keep")
            options.keep = true;
        else
            return false;
    }
    if (options.folder.empty()) {
#ifdef _WIN32
        options.folder = "Z:\\tmp\\packer-bench-" + std::to_string(ProcessId());
#else
        options.folder =
            fs::temp_directory_path() / ("packer-bench-" + std::to_string(ProcessId()));
#endif
    }
    return options.sizeMib > 0 && options.rounds > 0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: packer_bench [--size-mib N] [--rounds N] [--folder DIR] [--keep]\n");
        return 2;
    }
    const fs::path source = options.folder / "source";
    int files = 0;
    const uint64_t bytes = GenerateTree(source, options.sizeMib << 20, files);
    if (bytes == 0) {
        std::fprintf(stderr, "cannot write the tree under %s\n", options.folder.string().c_str());
        return 1;
    }
    std::printf("tree: %d files, %.1f MiB in %s\n", files, bytes / 1048576.0,
                source.string().c_str());
    RunShell("sync");

    const uint64_t peakBefore = PeakMemoryBytes();
    double ours = 0, tar = 0;
    for (int round = 1; round <= options.rounds; ++round) {
        const double oursSeconds = RunOurs(source, options.folder / "ours");
        Settle(options.folder / "ours");
        const double tarSeconds = RunTar(source, options.folder / "tar");
        Settle(options.folder / "tar");
        if (oursSeconds <= 0) {
            std::fprintf(stderr, "DirPacker round trip failed\n");
            return 1;
        }
        const double oursRate = bytes / 1e6 / oursSeconds;
        const double tarRate = tarSeconds > 0 ? bytes / 1e6 / tarSeconds : 0;
        std::printf("round %d: DirPacker %.0f MB/s (%.2f s), GNU tar %s%.0f MB/s (%.2f s)\n", round,
                    oursRate, oursSeconds, tarSeconds > 0 ? "" : "(failed) ", tarRate, tarSeconds);
        ours = std::max(ours, oursRate);
        tar = std::max(tar, tarRate);
    }
    const uint64_t peakAfter = PeakMemoryBytes();
    std::printf("best: DirPacker %.0f MB/s, GNU tar %.0f MB/s, ratio %.2f\n", ours, tar,
                tar > 0 ? ours / tar : 0.0);
    std::printf("peak memory of the process: %.1f MiB (%.1f MiB before the packer ran)\n",
                peakAfter / 1048576.0, peakBefore / 1048576.0);
    if (!options.keep) {
        std::error_code ignored;
        fs::remove_all(options.folder, ignored);
    }
    return 0;
}
