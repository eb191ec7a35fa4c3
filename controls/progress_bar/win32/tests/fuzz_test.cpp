// The fuzzer's kind of check in small form: a few thousand seeded calls of every kind.
#include "com_support.h"
#include "fuzz.h"

namespace gaugekit::testing {
namespace {

TEST_F(Com, ThousandsOfOddCallsChangeNothingOnFailureAndKeepNothingAlive) {
    const Module module;
    ASSERT_TRUE(module);
    FuzzFigures figures;
    {
        Fuzzer fuzzer(module, 20240611);
        for (long i = 0; i < 3000; ++i) fuzzer.call(i);
        figures = fuzzer.finish();
    }
    std::string findings;
    for (const auto& f : figures.findings) findings += f + "\n";
    EXPECT_EQ(figures.stateChanges, 0) << findings;
    EXPECT_EQ(figures.leakedInstances, 0);
    EXPECT_TRUE(figures.canUnload);
    // The calls reached both kinds of write.
    EXPECT_GT(figures.failedWrites, 100);
    EXPECT_GT(figures.writes - figures.failedWrites, 100);
}

}  // namespace
}  // namespace gaugekit::testing
