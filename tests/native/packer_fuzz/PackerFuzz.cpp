// Feeds arbitrary bytes to the unpacker and checks what must hold whatever the stream: no
// crash, nothing created outside the target folder, a failure always explained, and a packer
// that failed accepting nothing more. The first input byte chooses the block sizes.
#include "virid/DirPacker.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "packer_fuzz: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const size_t block = data[0] % 4 == 0 ? 1 : 1 + data[0] * 41u;
    ++data;
    --size;

    // A folder of this process, made anew for each input and removed after it.
    const fs::path root = fs::temp_directory_path() / ("packer-fuzz-" + std::to_string(::getpid()));
    const fs::path target = root / "target";
    fs::create_directories(target);

    VIRid::DirPacker packer;
    if (packer.Open(target.wstring(), false) != VIRid::DirPacker::Ok)
        Broken("cannot open the target folder");
    bool failed = false;
    for (size_t offset = 0; offset < size; offset += block) {
        uint32_t length = static_cast<uint32_t>(std::min(block, size - offset));
        const int result = packer.Write(data + offset, length);
        if (result == VIRid::DirPacker::EndOfStream)
            Broken("Write answered the end code");
        if (result != VIRid::DirPacker::Ok) {
            failed = true;
            uint32_t one = 1;
            if (packer.Write(data, one) == VIRid::DirPacker::Ok)
                Broken("a failed packer took more bytes");
            break;
        }
    }
    const int closed = packer.Close();
    if ((failed || closed != VIRid::DirPacker::Ok) && packer.GetErrorText().empty())
        Broken("a failure without a text");
    if (closed == VIRid::DirPacker::Ok && (failed || !packer.GetErrorText().empty()))
        Broken("success after a failure");

    for (const auto& entry : fs::directory_iterator(root)) {
        if (entry.path().filename() != "target")
            Broken("an entry was created outside the target folder");
    }
    for (const auto& entry : fs::recursive_directory_iterator(target)) {
        if (entry.is_symlink())
            Broken("a link was created");
    }
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return 0;
}
