#include "process/CRedirect.h"

#include "virid/Win32Handles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// Where the test programs are: beside this test binary.
std::wstring ChildPath(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + name;
}

const std::chrono::seconds kPatience(20); // bound of every wait for a child; never reached

// Records every notification, in order.
class RecordingRedirect : public CRedirect {
public:
    ~RecordingRedirect() override { EndChild(); }

    std::string Stdout() const {
        return Locked([this] { return stdoutText; });
    }
    std::string Stderr() const {
        return Locked([this] { return stderrText; });
    }
    std::vector<size_t> ChunkSizes() const {
        return Locked([this] { return chunkSizes; });
    }
    int Exits() const {
        return Locked([this] { return exits; });
    }
    std::string Launched() const {
        return Locked([this] { return launched; });
    }
    DWORD StdoutThreadId() const {
        return Locked([this] { return stdoutThreadId; });
    }

    // Waits (bounded) until the standard output holds the text.
    bool WaitForStdout(const std::string& text) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kPatience,
                                [&] { return stdoutText.find(text) != std::string::npos; });
    }
    bool WaitForSizes(size_t outSize, size_t errSize) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kPatience, [&] {
            return stdoutText.size() >= outSize && stderrText.size() >= errSize;
        });
    }
    bool WaitForExit() {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kPatience, [&] { return exits > 0; });
    }

protected:
    void OnLaunched(const char* commandLine) override {
        Record([&] { launched = commandLine; });
    }
    void OnStdoutData(const char* text) override {
        Record([&] {
            stdoutText += text;
            chunkSizes.push_back(strlen(text));
            stdoutThreadId = GetCurrentThreadId();
        });
    }
    void OnStderrData(const char* text) override {
        Record([&] {
            stderrText += text;
            chunkSizes.push_back(strlen(text));
        });
    }
    void OnChildExit() override {
        Record([&] { ++exits; });
    }

private:
    template <typename Action> void Record(Action action) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            action();
        }
        changed.notify_all();
    }
    template <typename Read> auto Locked(Read read) const -> decltype(read()) {
        std::lock_guard<std::mutex> lock(mutex);
        return read();
    }

    mutable std::mutex mutex;
    std::condition_variable changed;
    std::string stdoutText;
    std::string stderrText;
    std::string launched;
    std::vector<size_t> chunkSizes;
    int exits = 0;
    DWORD stdoutThreadId = 0;
};

// The process id that a child wrote as "pid <n>" on its first line; 0 when there is none.
DWORD ChildPid(RecordingRedirect& redirect) {
    if (!redirect.WaitForStdout("\n"))
        return 0;
    unsigned long pid = 0;
    return sscanf(redirect.Stdout().c_str(), "pid %lu", &pid) == 1 ? pid : 0;
}

// The exit code of a process opened while it ran, once it has ended; STILL_ACTIVE otherwise.
DWORD ExitCodeOf(HANDLE process) {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process, 5000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &code);
    return code;
}

std::string ExpectedFlood(const char* prefix, unsigned lines) {
    std::string text;
    char line[32];
    for (unsigned n = 0; n < lines; ++n) {
        snprintf(line, sizeof(line), "%s %08u\n", prefix, n);
        text += line;
    }
    return text;
}

TEST(CRedirect, EchoesInputAndReportsTheCommandLine) {
    RecordingRedirect redirect;
    const std::wstring commandLine = L"\"" + ChildPath(L"echo_child.exe") + L"\"";
    ASSERT_TRUE(redirect.Launch(commandLine.c_str(), false));
    EXPECT_TRUE(redirect.IsAlive());
    EXPECT_EQ(std::string(commandLine.begin(), commandLine.end()), redirect.Launched());
    redirect.SendInput(L"first line\n");
    redirect.SendInput(L""); // writes nothing
    redirect.SendInput(L"caf\u00e9 \u20ac\n");
    ASSERT_TRUE(redirect.WaitForStdout("caf\xc3\xa9 \xe2\x82\xac\n"));
    const std::string out = redirect.Stdout();
    EXPECT_EQ("first line\ncaf\xc3\xa9 \xe2\x82\xac\n", out.substr(out.find('\n') + 1));
    EXPECT_NE(GetCurrentThreadId(), redirect.StdoutThreadId());
    EXPECT_EQ(0, redirect.Exits());
}

TEST(CRedirect, DeliversFloodsOfBothStreamsWholeInSmallChunksInOrder) {
    const unsigned lines = 100000; // 1.2 MB on each stream
    RecordingRedirect redirect;
    const std::wstring commandLine =
        L"\"" + ChildPath(L"flood_child.exe") + L"\" " + std::to_wstring(lines);
    ASSERT_TRUE(redirect.Launch(commandLine.c_str(), false));
    const std::string expectedOut = ExpectedFlood("out", lines);
    const std::string expectedErr = ExpectedFlood("err", lines);
    ASSERT_TRUE(redirect.WaitForSizes(expectedOut.size(), expectedErr.size()));
    ASSERT_TRUE(redirect.WaitForExit());
    redirect.EndChild();
    EXPECT_TRUE(redirect.Stdout() == expectedOut);
    EXPECT_TRUE(redirect.Stderr() == expectedErr);
    const std::vector<size_t> sizes = redirect.ChunkSizes();
    for (size_t size : sizes) {
        ASSERT_GE(size, 1u);
        ASSERT_LE(size, 256u);
    }
    EXPECT_GE(sizes.size(), 2 * expectedOut.size() / 256);
}

TEST(CRedirect, AChildThatEndsByItselfIsReportedOnce) {
    RecordingRedirect redirect;
    ASSERT_TRUE(redirect.Launch(ChildPath(L"exit_child.exe").c_str(), false));
    ASSERT_TRUE(redirect.WaitForExit());
    ASSERT_TRUE(redirect.WaitForStdout("leaving\n"));
    EXPECT_FALSE(redirect.IsAlive());
    redirect.EndChild();
    redirect.EndChild();
    EXPECT_EQ(1, redirect.Exits());
    EXPECT_EQ("leaving\n", redirect.Stdout());
}

TEST(CRedirect, AChildThatEndsWithTheStillActiveCodeIsNotAlive) {
    RecordingRedirect redirect;
    const std::wstring commandLine = L"\"" + ChildPath(L"exit_child.exe") + L"\" 259";
    ASSERT_TRUE(redirect.Launch(commandLine.c_str(), false));
    ASSERT_TRUE(redirect.WaitForExit());
    EXPECT_FALSE(redirect.IsAlive());
}

TEST(CRedirect, EndChildLetsAChildEndByItselfWhenItsInputCloses) {
    RecordingRedirect redirect;
    ASSERT_TRUE(redirect.Launch(ChildPath(L"echo_child.exe").c_str(), false));
    const DWORD pid = ChildPid(redirect);
    ASSERT_NE(0u, pid);
    const VIRid::UniqueHandle process(
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    ASSERT_TRUE(process.valid());
    redirect.EndChild();
    EXPECT_FALSE(redirect.IsAlive());
    EXPECT_EQ(0u, ExitCodeOf(process.get()));
    EXPECT_EQ(1, redirect.Exits());
}

TEST(CRedirect, EndChildEndsAChildThatIgnoresTheEndOfItsInputWithCode1) {
    RecordingRedirect redirect;
    ASSERT_TRUE(redirect.Launch(ChildPath(L"stubborn_child.exe").c_str(), false));
    const DWORD pid = ChildPid(redirect);
    ASSERT_NE(0u, pid);
    const VIRid::UniqueHandle process(
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    ASSERT_TRUE(process.valid());
    EXPECT_TRUE(redirect.IsAlive());
    redirect.EndChild();
    EXPECT_FALSE(redirect.IsAlive());
    EXPECT_EQ(1u, ExitCodeOf(process.get()));
    EXPECT_EQ(1, redirect.Exits());
}

TEST(CRedirect, EndChildReturnsWhileAProcessStartedByTheChildHoldsThePipes) {
    RecordingRedirect redirect;
    ASSERT_TRUE(redirect.Launch(ChildPath(L"holder_child.exe").c_str(), false));
    ASSERT_TRUE(redirect.WaitForExit());
    ASSERT_TRUE(redirect.WaitForStdout("started\n"));
    const auto before = std::chrono::steady_clock::now();
    redirect.EndChild();
    // The copy that holds the pipes sleeps 8 s; the readers must not wait for it.
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
}

TEST(CRedirect, ACommandLineThatNamesNothingFailsWithTheWholeText) {
    RecordingRedirect redirect;
    const std::wstring missing = ChildPath(L"no_such_child.exe");
    EXPECT_FALSE(redirect.Launch(missing.c_str(), false));
    EXPECT_EQ("Unable to start " + std::string(missing.begin(), missing.end()) + "\n",
              redirect.Stdout());
    EXPECT_EQ(GetCurrentThreadId(), redirect.StdoutThreadId());
    EXPECT_FALSE(redirect.IsAlive());
    EXPECT_EQ("", redirect.Launched());
    redirect.EndChild();
    EXPECT_EQ(0, redirect.Exits()); // no monitor ever ran

    // Far longer than any fixed buffer: delivered whole.
    RecordingRedirect longOne;
    const std::wstring longLine = L"C:\\" + std::wstring(3000, L'x') + L"\\nothing.exe";
    EXPECT_FALSE(longOne.Launch(longLine.c_str(), false));
    EXPECT_EQ("Unable to start " + std::string(longLine.begin(), longLine.end()) + "\n",
              longOne.Stdout());
}

TEST(CRedirect, EndChildWithoutAChildDoesNothing) {
    RecordingRedirect redirect;
    redirect.EndChild();
    redirect.SendInput(L"nobody reads this\n");
    EXPECT_FALSE(redirect.IsAlive());
    EXPECT_EQ(0, redirect.Exits());
    EXPECT_EQ("", redirect.Stdout());
}

TEST(CRedirect, ObjectsRunningAtTheSameTimeDoNotStopEachOther) {
    RecordingRedirect first;
    ASSERT_TRUE(first.Launch(ChildPath(L"echo_child.exe").c_str(), false));
    first.SendInput(L"one\n");
    ASSERT_TRUE(first.WaitForStdout("one\n"));
    {
        RecordingRedirect second;
        ASSERT_TRUE(second.Launch(ChildPath(L"echo_child.exe").c_str(), false));
        second.SendInput(L"two\n");
        first.SendInput(L"three\n");
        EXPECT_TRUE(second.WaitForStdout("two\n"));
        EXPECT_TRUE(first.WaitForStdout("three\n"));
        RecordingRedirect idle; // constructing one stops nobody
        first.SendInput(L"four\n");
        EXPECT_TRUE(first.WaitForStdout("four\n"));
    } // the second one ends here
    first.SendInput(L"five\n");
    EXPECT_TRUE(first.WaitForStdout("five\n"));
    EXPECT_TRUE(first.IsAlive());
    EXPECT_EQ(0, first.Exits());
}

TEST(CRedirect, ALaunchAfterAnEndedChildStartsAfresh) {
    RecordingRedirect redirect;
    ASSERT_TRUE(redirect.Launch(ChildPath(L"exit_child.exe").c_str(), false));
    ASSERT_TRUE(redirect.WaitForExit());
    ASSERT_TRUE(redirect.Launch(ChildPath(L"echo_child.exe").c_str(), false));
    redirect.SendInput(L"again\n");
    EXPECT_TRUE(redirect.WaitForStdout("again\n"));
    EXPECT_TRUE(redirect.IsAlive());
    redirect.EndChild();
    EXPECT_EQ(2, redirect.Exits());
}

// A notification that takes its time while the object is destroyed: the destructor waits for it
// and none follows.
class SlowReader : public CRedirect {
public:
    explicit SlowReader(std::atomic<int>& calls) : calls(calls) {}
    ~SlowReader() override { EndChild(); }

protected:
    void OnStdoutData(const char*) override {
        ++calls;
        Sleep(1);
    }

private:
    std::atomic<int>& calls;
};

TEST(CRedirect, NoNotificationFollowsTheDestruction) {
    std::atomic<int> calls(0);
    {
        SlowReader reader(calls);
        const std::wstring commandLine = L"\"" + ChildPath(L"flood_child.exe") + L"\" 200000";
        ASSERT_TRUE(reader.Launch(commandLine.c_str(), false));
        for (int waited = 0; calls < 10 && waited < 20000; ++waited)
            Sleep(1);
        ASSERT_GE(calls.load(), 10);
    }
    const int afterDestruction = calls;
    Sleep(300);
    EXPECT_EQ(afterDestruction, calls.load());
}

} // namespace
