#include "host/HostGuard.h"
#include "tests/support/FakeHost.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

TEST(HostGuard, AStandardLibraryExceptionBecomesAnErrorAndFailure) {
    struct Case {
        void (*operation)();
        const wchar_t* message;
    };
    const Case cases[] = {
        {[] { throw std::bad_alloc(); }, hostabi::kOutOfMemoryText},
        {[] { std::wstring().reserve(std::wstring().max_size() + 1); },
         hostabi::kInternalFailureText},
    };
    for (const Case& c : cases) {
        RecordingLogger logger;
        EXPECT_EQ(Failure, hostabi::GuardForHost(logger, static_cast<int32_t>(Failure), [&] {
                      c.operation();
                      return static_cast<int32_t>(Success);
                  }));
        ASSERT_EQ(1u, logger.Messages().size());
        EXPECT_EQ(RecordingLogger::Message(LogError, c.message), logger.Messages()[0]);
    }
}

} // namespace
