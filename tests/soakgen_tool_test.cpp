// turfwar-soakgen's options: bad values are usage errors with the reason,
// never a wrapped or NaN length, and its longest script is one the replay reads.

#include "tools/replay/replay_script.h"

#include "tool_runner.h"

#include <gtest/gtest.h>

namespace {

TEST(SoakgenTool, BadOptionsExitTwoWithTheReason)
{
    for (const char* args : {"--minutes -1", "--minutes nan", "--minutes inf", "--minutes 10001", "--minutes 2x",
                             "--seed -1", "--seed 99999999999999999999", "--seed 1.5", "--seed", "extra"}) {
        const ToolResult r = runTool("turfwar-soakgen", args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_EQ(r.err.rfind("turfwar-soakgen: ", 0), 0u) << args << ": " << r.err;
    }
    const ToolResult top = runTool("turfwar-soakgen", "--seed 18446744073709551615 --minutes 0.01");
    EXPECT_EQ(top.status, 0) << top.err;
    EXPECT_EQ(top.out.rfind("# turfwar-soakgen --seed 18446744073709551615 --minutes 0.01\n", 0), 0u);
}

TEST(SoakgenTool, ItsLongestScriptIsOneTheReplayReads)
{
    const ToolResult r = runTool("turfwar-soakgen", "--minutes 10000 --seed 7");
    ASSERT_EQ(r.status, 0) << r.err;
    const ScriptParse parse = parseScript(r.out);
    EXPECT_TRUE(parse.ok()) << parse.error;
    EXPECT_GT(parse.commands.size(), 1000000u);
}

}  // namespace
