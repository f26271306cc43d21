// Every test program keeps its print journal in the build tree, never in the
// user's own data folder, and draws Qt offscreen unless told otherwise. Set
// here rather than through ctest's ENVIRONMENT, which gtest_discover_tests
// cuts at the first variable; values already in the environment win.
#include <cstdlib>

namespace {

#ifndef _WIN32
const bool kIsolated = [] {
    setenv("XDG_DATA_HOME", ORDAVEL_BINARY_DIR "/test-user-data", 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return true;
}();
#endif

} // namespace
