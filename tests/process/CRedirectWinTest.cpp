#include "process/CRedirect.h"
#include "tests/support/win/ScriptedProcess.h"

#include "virid/Win32Handles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace {

std::wstring Child(const std::wstring& arguments) {
    return L"\"" + testing_support::ProgramBesideTests(L"process_child.exe") + L"\" " + arguments;
}
const std::chrono::seconds kPatience(20); // bound of every wait for a child; never reached

// What the notifications delivered, in order.
struct Seen {
    std::string out, err;
    std::vector<size_t> chunkSizes;
    int exits = 0;
};

class RecordingRedirect : public CRedirect {
public:
    ~RecordingRedirect() override { EndChild(); }

    Seen Now() const {
        std::lock_guard<std::mutex> lock(mutex);
        return seen;
    }
    bool WaitUntil(const std::function<bool(const Seen&)>& done) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kPatience, [&] { return done(seen); });
    }
    bool WaitForStdout(const std::string& text) {
        return WaitUntil([&](const Seen& s) { return s.out.find(text) != std::string::npos; });
    }
    bool WaitForExit() {
        return WaitUntil([](const Seen& s) { return s.exits > 0; });
    }

protected:
    void OnStdoutData(const char* text) override { Record(&Seen::out, text); }
    void OnStderrData(const char* text) override { Record(&Seen::err, text); }
    void OnChildExit() override { Record(nullptr, nullptr); }

private:
    // Appends text to a field of seen (none: counts an exit), then wakes the waiters.
    void Record(std::string Seen::*field, const char* text) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (field == nullptr)
                ++seen.exits;
            else
                seen.*field += text;
            if (field == &Seen::out || field == &Seen::err)
                seen.chunkSizes.push_back(strlen(text));
        }
        changed.notify_all();
    }

    mutable std::mutex mutex;
    std::condition_variable changed;
    Seen seen;
};

std::string ExpectedFlood(const char* prefix, unsigned lines) {
    std::string text;
    char line[32];
    for (unsigned n = 0; n < lines; ++n)
        text.append(line,
                    static_cast<size_t>(snprintf(line, sizeof(line), "%s %08u\n", prefix, n)));
    return text;
}

TEST(CRedirect, DeliversFloodsOfBothStreamsWholeInSmallChunksInOrder) {
    const unsigned lines = 100000; // 1.2 MB on each stream
    RecordingRedirect redirect;
    ASSERT_TRUE(redirect.Launch(Child(L"flood " + std::to_wstring(lines)).c_str(), false));
    const std::string expectedOut = ExpectedFlood("out", lines);
    const std::string expectedErr = ExpectedFlood("err", lines);
    ASSERT_TRUE(redirect.WaitUntil([&](const Seen& seen) {
        return seen.out.size() >= expectedOut.size() && seen.err.size() >= expectedErr.size();
    }));
    ASSERT_TRUE(redirect.WaitForExit());
    redirect.EndChild();
    const Seen seen = redirect.Now();
    EXPECT_TRUE(seen.out == expectedOut);
    EXPECT_TRUE(seen.err == expectedErr);
    for (size_t size : seen.chunkSizes)
        ASSERT_TRUE(size >= 1 && size <= 256) << size;
}

// A child that ends at the end of its input ends with its own code; one that keeps running is
// ended with code 1. Nothing this process made inheritable reaches the child but its three pipe
// ends: a pipe whose write end the test alone held breaks once the test closes it, though the
// child still runs.
TEST(CRedirect, EndChildEndsTheChildByClosingItsInputOrByForce) {
    const std::pair<const wchar_t*, DWORD> cases[] = {{L"read", 0}, {L"stubborn", 1}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.second);
        SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
        VIRid::UniqueHandle readEnd;
        VIRid::UniqueHandle writeEnd;
        ASSERT_TRUE(CreatePipe(readEnd.receive(), writeEnd.receive(), &inheritable, 0));
        RecordingRedirect redirect;
        ASSERT_TRUE(redirect.Launch(Child(test.first).c_str(), false));
        // The child writes "pid <n>" first: opened now, its exit code stays readable.
        unsigned long pid = 0;
        ASSERT_TRUE(redirect.WaitForStdout("\n"));
        writeEnd.reset();
        DWORD available = 0;
        EXPECT_FALSE(PeekNamedPipe(readEnd.get(), nullptr, 0, nullptr, &available, nullptr));
        EXPECT_EQ(static_cast<DWORD>(ERROR_BROKEN_PIPE), GetLastError());
        EXPECT_TRUE(redirect.IsAlive());
        ASSERT_EQ(1, sscanf(redirect.Now().out.c_str(), "pid %lu", &pid));
        const VIRid::UniqueHandle process(
            OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
        ASSERT_TRUE(process.valid());
        redirect.EndChild();
        EXPECT_FALSE(redirect.IsAlive());
        DWORD code = STILL_ACTIVE;
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.get(), 5000));
        GetExitCodeProcess(process.get(), &code);
        EXPECT_EQ(test.second, code);
        EXPECT_EQ(1, redirect.Now().exits);
    }
}

// The child exits with the value of STILL_ACTIVE and leaves a process it started holding the
// pipes: it has ended all the same, is reported once, and EndChild does not wait for that process.
TEST(CRedirect, AChildThatEndsByItselfIsReportedOnceWhileAProcessItStartedHoldsThePipes) {
    RecordingRedirect redirect;
    ASSERT_TRUE(redirect.Launch(Child(L"hold").c_str(), false));
    ASSERT_TRUE(redirect.WaitForExit());
    ASSERT_TRUE(redirect.WaitForStdout("started\n"));
    EXPECT_FALSE(redirect.IsAlive());
    const auto before = std::chrono::steady_clock::now();
    redirect.EndChild();
    // The copy that holds the pipes sleeps 8 s; the readers must not wait for it.
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
    redirect.EndChild();
    EXPECT_EQ(1, redirect.Now().exits);
    EXPECT_EQ("started\n", redirect.Now().out);
}

// A notification that throws (out of memory) must not end the process: its worker ends the child
// instead, so that nobody waits for output that will never be read.
TEST(CRedirect, ANotificationThatThrowsEndsTheChildNotTheProcess) {
    struct Throwing : CRedirect {
        ~Throwing() override { EndChild(); }
        void OnStdoutData(const char*) override { throw std::bad_alloc(); }
    };
    Throwing redirect;
    ASSERT_TRUE(redirect.Launch(Child(L"stubborn").c_str(), false));
    EXPECT_FALSE(redirect.WorkerFailed());
    const auto start = std::chrono::steady_clock::now();
    while (redirect.IsAlive() && std::chrono::steady_clock::now() - start < kPatience)
        Sleep(10);
    EXPECT_FALSE(redirect.IsAlive());
    EXPECT_TRUE(redirect.WorkerFailed());
}

// The command line is far longer than any fixed buffer: delivered whole.
TEST(CRedirect, WithoutAChildNothingHappensAndAFailedLaunchGivesTheWholeText) {
    const std::wstring missing = L"C:\\" + std::wstring(3000, L'x') + L"\\nothing.exe";
    RecordingRedirect failed;
    failed.EndChild();
    failed.SendInput(L"nobody reads this\n");
    EXPECT_FALSE(failed.Launch(missing.c_str(), false));
    EXPECT_EQ("Unable to start " + std::string(missing.begin(), missing.end()) + "\n",
              failed.Now().out);
    EXPECT_FALSE(failed.IsAlive());
    failed.EndChild();
    EXPECT_EQ(0, failed.Now().exits); // no monitor ever ran
}

// A notification that takes its time while the object is destroyed: the destructor waits for it
// and none follows.
TEST(CRedirect, NoNotificationFollowsTheDestruction) {
    struct SlowReader : CRedirect {
        explicit SlowReader(std::atomic<int>& calls) : calls(calls) {}
        ~SlowReader() override { EndChild(); }
        void OnStdoutData(const char*) override {
            ++calls;
            Sleep(1);
        }
        std::atomic<int>& calls;
    };
    std::atomic<int> calls(0);
    {
        SlowReader reader(calls);
        ASSERT_TRUE(reader.Launch(Child(L"flood 200000").c_str(), false));
        for (int waited = 0; calls < 10 && waited < 20000; ++waited)
            Sleep(1);
        ASSERT_GE(calls.load(), 10);
    }
    const int afterDestruction = calls;
    Sleep(300);
    EXPECT_EQ(afterDestruction, calls.load());
}

} // namespace
