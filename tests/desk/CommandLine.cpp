#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desk/cli/CommandLineInfo.h"

namespace {

struct ArgsCase {
    std::vector<const char*> args;
    const char* project;
    const char* report;
    int help;
    int debug;
};

class CommandLineTest : public ::testing::TestWithParam<ArgsCase> {};

TEST_P(CommandLineTest, SortsArgumentsIntoTheRecord) {
    const ArgsCase& c = GetParam();
    std::vector<const char*> argv{"logvane"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    CLogvaneDeskCommandLineInfo info;
    info.Parse(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(info.projectPath, c.project);
    EXPECT_EQ(info.reportPath, c.report);
    EXPECT_EQ(info.help, c.help);
    EXPECT_EQ(info.debug, c.debug);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineTest,
    ::testing::Values(
        ArgsCase{{}, "", "", 0, 0}, ArgsCase{{"/HELP"}, "", "", 1, 0},
        ArgsCase{{"-h"}, "", "", 1, 0}, ArgsCase{{"--help"}, "", "", 1, 0},
        ArgsCase{{"/Debug"}, "", "", 0, 1}, ArgsCase{{"help"}, "", "", 0, 0},
        ArgsCase{
            {"/home/Ann/Site.BvP", "/tmp/Out.bvr"}, "/home/Ann/Site.BvP", "/tmp/Out.bvr", 0, 0},
        ArgsCase{{"out.BVR", "-debug", "site.bvp"}, "site.bvp", "out.BVR", 0, 1},
        ArgsCase{{"site.bvp.txt"}, "", "", 0, 0},
        ArgsCase{{"/H", "site.bvp"}, "site.bvp", "", 1, 0}));

TEST(CommandLineOthersTest, KeepsUnknownArgumentsAside) {
    const char* argv[] = {"logvane", "notes.txt", "-x"};
    CLogvaneDeskCommandLineInfo info;
    info.Parse(3, argv);
    EXPECT_EQ(info.others, (std::vector<std::string>{"notes.txt", "-x"}));
}

TEST(UsageTextTest, IsTheLinuxInvocationByteForByte) {
    EXPECT_STREQ(GetUsageText(),
                 "-------------------------------\n\n"
                 "To use Logvane, invoke as follows:\n"
                 "logvane project.bvp [output.bvr]\n"
                 "\n"
                 "\"project.bvp\" points to the project information XML\n"
                 "\"output.bvr\" (OPTIONAL) points to the file you would like to receive the \n"
                 "\n\n\n");
}

}  // namespace
