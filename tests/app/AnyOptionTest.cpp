#include "Apps/converter/AnyOption.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "TestUtil.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

// The converter's own table, plus one option that only the file may set and one flag that
// only the command line may set.
void RegisterConverterOptions(AnyOption& opt)
{
    opt.setOption("output", 'o');
    opt.setFlag("quiet", 'q');
    opt.setFlag("subfolders", 's');
    opt.setFlag("stdout", '1');
    opt.setOption("tmpdir", 't');
    opt.setFlag("opt1", '0');
    opt.setFileOption("fileonly");
    opt.setCommandFlag("cmdonly");
}

// argv for the parser: the program name, then `args`.
struct Args {
    std::vector<std::string> text;
    std::vector<char*> argv;
    explicit Args(const std::vector<std::string>& args) : text{"Vardex"}
    {
        text.insert(text.end(), args.begin(), args.end());
        for (std::string& a : text)
            argv.push_back(&a[0]);
        argv.push_back(nullptr);
    }
    int argc() const { return (int)text.size(); }
};

std::string Shown(const char* value)
{
    return value ? value : "(unset)";
}

std::string Rest(AnyOption& opt)
{
    std::string rest;
    for (int i = 0; i < opt.getArgc(); i++)
        rest += std::string(rest.empty() ? "" : " ") + opt.getArgv(i);
    return rest;
}

TEST(AnyOption, CommandLineForms)
{
    struct Case {
        std::vector<std::string> args;
        const char* output;
        const char* quiet;
        const char* subfolders;
        const char* rest;
    };
    const Case cases[] = {
        {{"--output", "dir"}, "dir", "(unset)", "(unset)", ""},
        {{"--output=dir"}, "dir", "(unset)", "(unset)", ""},
        {{"a.pdf", "--output"}, "(unset)", "(unset)", "(unset)", "a.pdf"},
        {{"-o", "dir"}, "dir", "(unset)", "(unset)", ""},
        {{"-odir"}, "dir", "(unset)", "(unset)", ""},
        {{"-o=dir"}, "dir", "(unset)", "(unset)", ""},
        {{"-qs"}, "(unset)", "true", "true", ""},
        {{"-qo", "dir", "x.pdf"}, "dir", "true", "(unset)", "x.pdf"},
        {{"--quiet", "a.pdf", "-s", "b.pdf"}, "(unset)", "true", "true", "a.pdf b.pdf"},
        {{"-o", "first", "--output", "second"}, "second", "(unset)", "(unset)", ""},
        {{"-o", "-q"}, "-q", "(unset)", "(unset)", ""},  // the next argument, whatever it is
        {{"--fileonly", "x"}, "(unset)", "(unset)", "(unset)", "x"},
        {{"--quiet=yes"}, "(unset)", "true", "(unset)", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        Args args(c.args);
        AnyOption opt;
        RegisterConverterOptions(opt);
        opt.processCommandArgs(args.argc(), args.argv.data());
        EXPECT_EQ(Shown(opt.getValue("output")), c.output);
        EXPECT_EQ(Shown(opt.getValue('o')), c.output);
        EXPECT_EQ(Shown(opt.getValue("quiet")), c.quiet);
        EXPECT_EQ(Shown(opt.getValue('s')), c.subfolders);
        EXPECT_EQ(Rest(opt), c.rest);
        EXPECT_TRUE(opt.hasOptions());
    }
}

TEST(AnyOption, ShortFlagsIncludingTheDigitNames)
{
    Args args({"-1", "-0", "-t", "T"});
    AnyOption opt;
    RegisterConverterOptions(opt);
    opt.processCommandArgs(args.argc(), args.argv.data());
    EXPECT_TRUE(opt.getFlag("stdout"));
    EXPECT_TRUE(opt.getFlag("opt1"));
    EXPECT_FALSE(opt.getFlag("quiet"));
    EXPECT_EQ(Shown(opt.getValue("tmpdir")), "T");
}

TEST(AnyOption, NoArgumentsAndArgumentLimit)
{
    Args none({});
    AnyOption opt;
    RegisterConverterOptions(opt);
    opt.processCommandArgs(none.argc(), none.argv.data());
    EXPECT_FALSE(opt.hasOptions());
    EXPECT_EQ(opt.getArgc(), 0);
    EXPECT_EQ(opt.getArgv(0), nullptr);

    Args three({"a", "b", "c"});
    AnyOption limited;
    RegisterConverterOptions(limited);
    limited.setVerbose();
    CaptureStderr();
    limited.processCommandArgs(three.argc(), three.argv.data(), 2);
    EXPECT_EQ(GetCapturedStderr(), "Ignoring extra argument: c\n");
    EXPECT_EQ(Rest(limited), "a b");
}

// Unknown options and value options given last without their value are reported (when
// verbose) and counted, so that the caller can refuse the run; names echoed are cut.
TEST(AnyOption, CommandLineMistakesReportedAndCounted)
{
    const std::string longName(100, 'n');
    struct Case { std::vector<std::string> args; bool verbose; const char* message; int errors; };
    const Case cases[] = {
        {{"--nosuch"}, true, "Unknown command argument option : nosuch\n", 1},
        {{"-x"}, true, "Unknown command argument option : x\n", 1},
        {{"--cmdonly=1"}, true, "Unknown command argument option : cmdonly=1\n", 1},
        {{"--fileonly"}, true, "Unknown command argument option : fileonly\n", 1},
        {{"a", "--output"}, true, "Missing value of command argument option : --output\n", 1},
        {{"a", "-o"}, true, "Missing value of command argument option : -o\n", 1},
        {{"a", "-qo"}, true, "Missing value of command argument option : -qo\n", 1},
        {{"--" + longName}, true,
         "Unknown command argument option : nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn...\n", 1},
        {{"--nosuch", "-x"}, false, "", 2},
        {{"-o", "dir", "--output=x", "-q", "a"}, true, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        Args args(c.args);
        AnyOption opt;
        RegisterConverterOptions(opt);
        if (c.verbose)
            opt.setVerbose();
        CaptureStdout();
        CaptureStderr();
        opt.processCommandArgs(args.argc(), args.argv.data());
        std::string err = GetCapturedStderr();
        // Standard output may be carrying a package: the parser adds nothing to it.
        EXPECT_EQ(GetCapturedStdout(), "");
        EXPECT_EQ(err, c.message);
        EXPECT_EQ(opt.commandErrorCount(), c.errors);
    }
}

TEST(AnyOption, AutomaticUsageAfterAnUnknownOption)
{
    Args args({"--nosuch", "-y"});
    AnyOption opt;
    RegisterConverterOptions(opt);
    opt.addUsage("Usage: x");
    opt.autoUsagePrint(true);
    CaptureStdout();
    opt.processCommandArgs(args.argc(), args.argv.data());
    EXPECT_EQ(GetCapturedStdout(), "\nUsage: x\n\n");  // once, not once per unknown option
}

TEST(AnyOption, WithoutPosixSingleDashIsLong)
{
    Args args({"-output", "dir", "-o", "x"});
    AnyOption opt;
    opt.noPOSIX();
    opt.setVerbose();
    CaptureStderr();
    opt.setOption("output", 'o');
    std::string ignored = GetCapturedStderr();
    EXPECT_EQ(ignored, "Ignoring the option character \"o\" ( POSIX options are turned off )\n");
    CaptureStderr();
    opt.processCommandArgs(args.argc(), args.argv.data());
    EXPECT_EQ(GetCapturedStderr(), "Unknown command argument option : o\n");
    EXPECT_EQ(Shown(opt.getValue("output")), "dir");
    EXPECT_EQ(Rest(opt), "x");
}

TEST(AnyOption, OptionFileLines)
{
    struct Case { const char* text; const char* output; const char* quiet; const char* message; };
    const Case cases[] = {
        {"output : /tmp/out\n", "/tmp/out", "(unset)", ""},
        {"output:/tmp/out\n", "/tmp/out", "(unset)", ""},
        {"output:   /tmp/out  \n", "/tmp/out", "(unset)", ""},
        {"  output  :/tmp/out\n", "/tmp/out", "(unset)", ""},
        {"output : C:\\out\n", "C:\\out", "(unset)", ""},
        {"o : dir\n", "dir", "(unset)", ""},
        {"quiet\n", "(unset)", "true", ""},
        {"   quiet   \n", "(unset)", "true", ""},
        {"q\n", "(unset)", "true", ""},
        {"# output : /x\n\n\nquiet\n", "(unset)", "true", ""},
        {"output : a\noutput : b\n", "b", "(unset)", ""},
        {"quiet", "(unset)", "(unset)", ""},  // a last line without a line break
        {"output : a\nquiet", "a", "(unset)", ""},
        {"cmdonly\n", "(unset)", "(unset)", "Unknown option in resourcefile : cmdonly\n"},
        {"quiet : yes\n", "(unset)", "(unset)", "Unknown option in resourcefile : quiet\n"},
        {"output :\n", "(unset)", "(unset)", "Unknown option in resourcefile : output :\n"},
        {":x\n", "(unset)", "(unset)", "Unknown option in resourcefile : :x\n"},
        {"nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn\n", "(unset)",
         "(unset)", "Unknown option in resourcefile : nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn...\n"},
    };
    testutil::TempDir tmp;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string path = tmp.file("options.txt");
        ASSERT_TRUE(testutil::WriteFile(path, c.text));
        AnyOption opt;
        RegisterConverterOptions(opt);
        opt.setVerbose();
        CaptureStderr();
        EXPECT_TRUE(opt.processFile(path.c_str()));
        EXPECT_EQ(GetCapturedStderr(), c.message);
        EXPECT_EQ(Shown(opt.getValue("output")), c.output);
        EXPECT_EQ(Shown(opt.getValue("quiet")), c.quiet);
        // The file's unknown lines never stop a run.
        EXPECT_EQ(opt.commandErrorCount(), 0);
    }
}

TEST(AnyOption, FileOnlyOptionAndFileWinsOverCommandLine)
{
    testutil::TempDir tmp;
    std::string path = tmp.file("options.txt");
    ASSERT_TRUE(testutil::WriteFile(path, "fileonly : v\noutput : from-file\n"));
    Args args({"-o", "from-command", "a.pdf"});
    AnyOption opt;
    RegisterConverterOptions(opt);
    opt.processCommandArgs(args.argc(), args.argv.data());
    EXPECT_EQ(Shown(opt.getValue("output")), "from-command");
    EXPECT_TRUE(opt.processFile(path.c_str()));
    EXPECT_EQ(Shown(opt.getValue("output")), "from-file");
    EXPECT_EQ(Shown(opt.getValue("fileonly")), "v");
    EXPECT_EQ(Rest(opt), "a.pdf");

    AnyOption missing;
    RegisterConverterOptions(missing);
    EXPECT_FALSE(missing.processFile(tmp.file("none.txt").c_str()));
    EXPECT_TRUE(missing.FileSet());
}

TEST(AnyOption, TablesGrowPastTheirCapacity)
{
    // Capacity 1 for names and characters, so every table is doubled several times; and one
    // option registered after the first lookup still gets a value slot of its own.
    static const char* const kNames[] = {"n0", "n1", "n2", "n3", "n4", "n5", "n6", "n7", "n8"};
    AnyOption opt(1);
    for (int i = 0; i < 9; i++)
        opt.setOption(kNames[i], (char)('a' + i));
    EXPECT_EQ(opt.getValue("n0"), nullptr);
    opt.setFlag("late");

    Args args({"--n8", "eight", "-a", "zero", "-e4", "--late"});
    opt.processCommandArgs(args.argc(), args.argv.data());
    EXPECT_EQ(Shown(opt.getValue("n8")), "eight");
    EXPECT_EQ(Shown(opt.getValue('i')), "eight");
    EXPECT_EQ(Shown(opt.getValue("n0")), "zero");
    EXPECT_EQ(Shown(opt.getValue("n4")), "4");
    EXPECT_TRUE(opt.getFlag("late"));

    for (int i = 0; i < 7; i++)
        opt.addUsage(kNames[i]);
    CaptureStdout();
    opt.printUsage();
    opt.printUsage();
    EXPECT_EQ(GetCapturedStdout(), "\nn0\nn1\nn2\nn3\nn4\nn5\nn6\n\n");
}

TEST(AnyOption, SetValueAndFlagsByHand)
{
    AnyOption opt;
    RegisterConverterOptions(opt);
    EXPECT_TRUE(opt.setValue("output", "x"));
    EXPECT_TRUE(opt.setValue('o', "y"));
    EXPECT_EQ(Shown(opt.getValue("output")), "y");
    EXPECT_FALSE(opt.setValue("nosuch", "x"));
    EXPECT_TRUE(opt.setFlagOn('q'));
    EXPECT_TRUE(opt.getFlag("quiet"));
    EXPECT_FALSE(opt.getFlag("output"));  // "y" is not "true"
    EXPECT_FALSE(opt.findFlag(nullptr));
}

TEST(AnyOption, LongPrefixIsCopiedNotCutInPlace)
{
    char prefix[] = "++x";
    AnyOption opt;
    opt.setCommandLongPrefix(prefix);
    opt.setOption("output");
    EXPECT_STREQ(prefix, "++x");
    Args args({"++output", "dir"});
    opt.processCommandArgs(args.argc(), args.argv.data());
    EXPECT_EQ(Shown(opt.getValue("output")), "dir");
}

TEST(AnyOption, ChompTrimsBlanksOnly)
{
    AnyOption opt;
    char text[] = "  a b \t  ";
    EXPECT_STREQ(opt.chomp(text), "a b \t");
}

TEST(AnyOptionDeathTest, AllocationFailureEndsWithStatusOne)
{
    EXPECT_EXIT({ AnyOption opt(-1, 10); }, testing::ExitedWithCode(1),
                "OPTIONS ERROR : Failed allocating memory\nExiting.");
    EXPECT_EXIT({ AnyOption opt(10, -2); }, testing::ExitedWithCode(1),
                "OPTIONS ERROR : Failed allocating memory");
}

}  // namespace
