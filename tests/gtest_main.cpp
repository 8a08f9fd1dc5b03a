// The main of every GoogleTest program here. A test that skips itself has
// tested nothing, so a skip fails the run unless its message says that it
// is skipped on purpose, and why.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

// Counted here and judged after the run: a listener cannot fail a test
// itself (gtest holds its lock while it reports a result).
static int g_unexplainedSkips = 0;

class SkipsMustSayWhy : public ::testing::EmptyTestEventListener {
    void OnTestPartResult(const ::testing::TestPartResult& result) override
    {
        if (result.skipped() && !std::strstr(result.message(), "skipped on purpose")) {
            std::printf("Failure: %s:%d: skipped without saying that it is on purpose, and why\n",
                        result.file_name() ? result.file_name() : "?", result.line_number());
            ++g_unexplainedSkips;
        }
    }
};

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new SkipsMustSayWhy);
    // The tests run before their skips are counted.
    return RUN_ALL_TESTS() || g_unexplainedSkips ? 1 : 0;
}
