// A host built as the backup application is built (Microsoft's C++ ABI, no C runtime). Through
// the real plug-in library it calls every slot of every table, browses, reads settings of every
// length, backs an instance up and restores it, and frees what the plug-in handed over with the
// Microsoft library's allocation rule. Prints a summary; exits non-zero on any failure.
//   msvchost DLL HOME SID HOME_4080 HOME_4096 USER PASSWORD TEMP_PATH WRECK_COMMAND
// HOME_4080 and HOME_4096 are homes whose names take 4,080 and 4,096 bytes in a string's buffer:
// the last size below the big-allocation rule and the first under it.
//   msvchost --check-allocator big|foreign     (must fail: proves the allocator's checks)
// The header that hosts built with Microsoft's compiler use, compiled here against the stand-in
// standard headers of std/: the compiler, not our code, decides the tables and the layouts.
#include "host/HostInterfaces.h"

static_assert(sizeof(ItemInfo) == 72 && sizeof(ItemEntry) == 136, "the host's records");

namespace {

unsigned checks = 0;
unsigned failures = 0;

void Expect(bool ok, const char* what) {
    ++checks;
    failures += ok ? 0 : 1;
    if (!ok)
        Print("FAIL: ", what, "\n");
}

std::wstring Repeat(wchar_t character, size_t count) {
    std::wstring text;
    while (count-- > 0)
        text.append(&character, 1);
    return text;
}

class Logger : public IPluginLogger {
public:
    void Log(int32_t level, const wchar_t* text) override {
        if (level < 0 || level > 3 || text == nullptr) {
            Print("FAIL: a message of an unknown level or without text\n");
            __atomic_store_n(&broken, 1, __ATOMIC_SEQ_CST);
            return;
        }
        __atomic_fetch_add(&counts[level], 1, __ATOMIC_SEQ_CST);
        if (level == 2)
            Print("plug-in error: ", text, "\n");
    }
    int counts[4] = {0, 0, 0, 0};
    int broken = 0;
};

const wchar_t* const kKeys[] = {L"WSTempPath",     L"UserName",          L"Password",
                                L"OnlineBackup",   L"BackupSPFile",      L"BackupControlFile",
                                L"UseCompression", L"BackupArchiveLog",  L"OpenAfterBackup",
                                L"BackupType",     L"DeleteArchivedLogs"};
const size_t kKeyCount = sizeof kKeys / sizeof kKeys[0];

class Settings : public IPluginSettings {
public:
    bool GetValue(const wchar_t* key, std::wstring* value) override {
        ++calls;
        value->Check("GetValue was given an invalid string");
        const std::wstring name(key);
        for (size_t i = 0; i < kKeyCount; ++i)
            if (name == kKeys[i] && i < present) {
                *value = values[i]; // frees the plug-in's buffer when it must grow
                return true;
            }
        return false;
    }
    std::wstring values[kKeyCount];
    size_t present = 0; // the first keys that have a value
    int calls = 0;
};

const ItemEntry* FindEntry(const std::list<ItemEntry>& items, const std::wstring& name) {
    for (auto* node = items.first(); node != items.end(); node = node->_Next)
        if (node->_Myval.name == name)
            return &node->_Myval;
    return nullptr;
}

// The bytes of the buffer that a string of this length takes in large mode.
size_t BufferBytes(size_t length) {
    return ((length | 7) + 1) * 2;
}

void Browse(IBackupDataRead* source, const std::wstring& home, const std::wstring (&edgeHomes)[2],
            const std::wstring& instancePath) {
    std::list<ItemEntry> items;
    ItemEntry hostEntry;
    hostEntry.name = L"entry-put-there-by-the-host";
    items.push_back(hostEntry);
    Expect(source->EnumItems(L"", items) == 0, "slot 7 EnumItems on the root gives 0");
    Expect(items.first()->_Myval.name == hostEntry.name, "the host's entry stays in front");
    Expect(BufferBytes(edgeHomes[0].size()) == 4080 && BufferBytes(edgeHomes[1].size()) == 4096,
           "the long homes' names take 4,080 and 4,096 bytes");
    const std::wstring* homes[] = {&home, &edgeHomes[0], &edgeHomes[1]};
    for (const std::wstring* name : homes) {
        const ItemEntry* entry = FindEntry(items, *name);
        Expect(entry != nullptr && entry->info.attributes == 0x10,
               "a home is listed as a folder under its name");
    }
    for (auto* node = items.first(); node != items.end(); node = node->_Next) {
        node->_Myval.info.infoText.Check("an entry's infoText");
        node->_Myval.entryText.Check("an entry's entryText");
        node->_Myval.name.Check("an entry's name");
    }

    // An ItemInfo that the host filled before: the plug-in replaces its text or leaves it alone.
    ItemInfo info;
    const std::wstring hostText = Repeat(L't', 3000);
    struct Case {
        std::wstring path;
        int32_t result;
        uint32_t attributes;
    };
    const Case cases[] = {
        {home, 0, 0x10}, {instancePath, 0, 0x80}, {L"NoSuchHomeAnywhere", 3, 0x1234}};
    for (const Case& c : cases) {
        info.infoText = hostText;
        info.attributes = 0x1234;
        Expect(source->GetItemInfo(c.path, info) == c.result, "slot 6 GetItemInfo's result");
        Expect(info.attributes == c.attributes, "GetItemInfo's attributes");
        info.infoText.Check("GetItemInfo's infoText");
        Expect(info.infoText == (c.result == 0 ? std::wstring() : hostText),
               "GetItemInfo's infoText: emptied when found, untouched otherwise");
    }
}

// The most bytes of a backup stream that the test host takes.
const size_t kStreamLimit = 256 << 20;

bool Run(std::wstring commandLine) {
    unsigned long long startup[13] = {sizeof startup}; // STARTUPINFOW, its size first
    HANDLE process[3] = {};                            // PROCESS_INFORMATION
    unsigned long code = 1;
    if (!CreateProcessW(nullptr, const_cast<wchar_t*>(commandLine.c_str()), nullptr, nullptr, 0, 0,
                        nullptr, nullptr, startup, process))
        return false;
    WaitForSingleObject(process[0], 0xFFFFFFFF);
    GetExitCodeProcess(process[0], &code);
    CloseHandle(process[0]);
    CloseHandle(process[1]);
    return code == 0;
}

int CheckAllocator(const std::wstring& which) {
    if (which == L"big") {
        // Plain memory handed back as if the big-allocation rule had produced it.
        unsigned char* block = static_cast<unsigned char*>(Allocate(128));
        unsigned char* inside = block + 64 - (reinterpret_cast<uintptr_t>(block) & 31);
        memset(inside - 8, 0, 8);
        Deallocate(inside, 5000);
    } else {
        static unsigned char notFromTheHeap[64];
        Deallocate(notFromTheHeap + 16, 64);
    }
    Print("the allocator did not notice the bad free\n");
    return 0;
}

int Main() {
    int count = 0;
    wchar_t** const args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (count == 3 && std::wstring(args[1]) == L"--check-allocator")
        return CheckAllocator(args[2]);
    if (count != 10) {
        Print("usage: msvchost DLL HOME SID HOME_4080 HOME_4096 USER PASSWORD TEMP_PATH "
              "WRECK_COMMAND\n");
        return 2;
    }
    const std::wstring home = args[2], sid = args[3];
    const std::wstring edgeHomes[2] = {args[4], args[5]};
    void* library = LoadLibraryW(args[1]);
    if (library == nullptr)
        Fail("the plug-in library does not load");
    auto getInfo =
        reinterpret_cast<GetPluginInfoFunction>(GetProcAddress(library, "GetPluginInfo"));
    auto getRead =
        reinterpret_cast<GetBackupDataReadFunction>(GetProcAddress(library, "GetBackupDataRead"));
    auto getWrite =
        reinterpret_cast<GetBackupDataWriteFunction>(GetProcAddress(library, "GetBackupDataWrite"));
    if (!getInfo || !getRead || !getWrite)
        Fail("the library lacks one of the three exports");

    Print("step: IPluginInfo, every slot; released by Release and by delete (slot 0)\n");
    IPluginInfo* first = getInfo();
    Expect(first != nullptr, "GetPluginInfo returned an object");
    Expect(std::wstring(first->GetPluginVersion()) == L"1.0", "slot 2 GetPluginVersion gives 1.0");
    Expect(std::wstring(first->GetName()) == L"Oracle", "slot 3 GetName gives Oracle");
    Expect(first->GetKind() == 1, "slot 4 GetKind gives 1");
    Expect(!first->GetFirstFlag() && !first->GetSecondFlag() && !first->GetThirdFlag(),
           "slots 5 to 7 give false");
    IPluginInfo* second = getInfo();
    Expect(second != first, "each GetPluginInfo gives a new object");
    first->Release();
    delete second;

    Print("step: settings of every length, both exports, released through both interfaces\n");
    Logger logger;
    const size_t lengths[] = {0, 1, 7, 8, 15, 16, 2039, 2040, 2047, 2048, 2049, 5000};
    for (size_t length : lengths) {
        Settings settings;
        settings.present = kKeyCount;
        for (std::wstring& value : settings.values)
            value = Repeat(L'v', length);
        IBackupDataRead* source = getRead(&logger, &settings);
        Expect(source != nullptr && settings.calls == 16,
               "GetBackupDataRead reads sixteen settings");
        settings.calls = 0;
        IBackupDataWrite* sink = getWrite(&logger, &settings);
        Expect(sink != nullptr && settings.calls == 16,
               "GetBackupDataWrite reads sixteen settings");
        if (length % 2 == 0) {
            source->Release();
            sink->Release();
        } else {
            delete source;
            delete sink;
        }
    }

    // WSTempPath, UserName and Password: the backup connects only with the user name of over
    // 2,100 characters that the instance was made with.
    Settings settings;
    settings.values[0] = args[8];
    settings.values[1] = args[6];
    settings.values[2] = args[7];
    settings.present = 3;

    Print("step: browsing: names over 7 characters and across the big-allocation rule; a reused "
          "ItemInfo\n");
    IBackupDataRead* source = getRead(&logger, &settings);
    std::wstring instancePath = home;
    instancePath.append(L"\\", 1).append(sid.c_str(), sid.size());
    Browse(source, home, edgeHomes, instancePath);
    Expect(source->ReservedReadSlot4() == 6, "slot 4 of IBackupDataRead gives 6");
    source->ReservedReadSlot8();

    Print("step: backup through IBackupDataRead::Read\n");
    unsigned char* stream =
        static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), 0, kStreamLimit));
    uint32_t handle = 99;
    Expect(source->Open(instancePath, 0, handle) == 0 && handle == 1, "slot 2 Open for backup");
    size_t streamSize = 0;
    int32_t result = 0;
    for (uint32_t size = 65536; result == 0; size = 65536) {
        result = source->Read(stream + streamSize, size, handle);
        streamSize += result == 0 ? size : 0;
        if (streamSize + 65536 > kStreamLimit)
            Fail("the backup stream is larger than the test host takes");
    }
    Expect(result == 5 && streamSize > 0, "slot 3 Read ends with 5 after the stream");
    Expect(source->Close(handle) == 0, "slot 5 Close of the backup job");
    source->Release();

    Print("step: the database is damaged\n");
    Expect(Run(args[9]), "the damaging command ran");

    Print("step: restore through IBackupDataWrite::Write; the other slots of IBackupDataWrite\n");
    IBackupDataWrite* sink = getWrite(&logger, &settings);
    handle = 99;
    Expect(sink->Open(instancePath, 1, handle) == 0 && handle == 1,
           "Open for restore through the write side");
    bool written = true;
    for (size_t at = 0; at < streamSize;) {
        uint32_t size = streamSize - at < 65536 ? static_cast<uint32_t>(streamSize - at) : 65536;
        written = written && sink->Write(stream + at, size, handle) == 0;
        at += size;
    }
    Expect(written, "slot 0 Write of IBackupDataWrite takes every block");
    Expect(sink->Close(handle) == 0, "Close of the restore job runs the restore");
    HeapFree(GetProcessHeap(), 0, stream);
    Expect(sink->ReservedWriteSlot1() == 6 && sink->ReservedWriteSlot2() == 6 &&
               sink->ReservedWriteSlot3() == 6 && sink->ReservedWriteSlot4() == 6 &&
               sink->ReservedWriteSlot5() == 6,
           "slots 1 to 5 of IBackupDataWrite give 6");
    Expect(sink->ReservedWriteSlot6() == 0 && sink->ReservedWriteSlot7() == 0,
           "slots 6 and 7 give 0");
    sink->Release();

    Expect(logger.broken == 0, "every message had a known level and a text");
    Expect(HeapValidate(GetProcessHeap(), 0, nullptr) != 0, "the process heap is intact");
    const int* counts = logger.counts;
    Print("msvchost: ", checks, " checks, ", failures, " failed; plug-in messages: ", counts[0],
          "/", counts[1], "/", counts[2], "/", counts[3], " (progress/warning/error/detail)\n");
    return failures == 0 ? 0 : 1;
}

} // namespace

extern "C" void mainCRTStartup() {
    // Under Wine a crashed process does not always end with a non-zero exit code.
    SetUnhandledExceptionFilter([](void* pointers) -> long {
        Print("FAIL: unhandled exception ", **static_cast<unsigned**>(pointers), "\n");
        ExitProcess(1);
    });
    ExitProcess(static_cast<unsigned>(Main()));
}
