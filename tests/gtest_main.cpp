// The main of every GoogleTest program here. A test that skips itself has
// tested nothing, so a skip fails the run unless its message says that it
// is skipped on purpose, and why.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
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
    int failed = RUN_ALL_TESTS();
    // A runner that does not read GoogleTest's output (run-tests.cmd) names a
    // file to which the run adds its counts as a line: passed failed skipped.
    if (const char* tally = std::getenv("STARTER_TEST_TALLY")) {
        const ::testing::UnitTest& run = *::testing::UnitTest::GetInstance();
        if (FILE* out = std::fopen(tally, "a")) {
            std::fprintf(out, "%d %d %d\n", run.successful_test_count(), run.failed_test_count(),
                         run.skipped_test_count());
            std::fclose(out);
        }
    }
    return failed || g_unexplainedSkips ? 1 : 0;
}
