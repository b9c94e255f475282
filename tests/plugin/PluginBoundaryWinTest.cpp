#include "plugin/PluginImplementation.h"
#include "tests/support/FakeHost.h"

#include <gtest/gtest.h>

namespace {

// The library's slots, as a host built with Microsoft's compiler calls them, are checked by the
// test host of tests/msvchost; it always gives a logger, which a host may leave out.
TEST(PluginObject, WithoutALoggerMessagesAreDropped) {
    MapSettings settings;
    PluginImplementation silent(nullptr, &settings);
    silent.Report(LogError, L"dropped without a logger"); // must not crash
}

} // namespace
