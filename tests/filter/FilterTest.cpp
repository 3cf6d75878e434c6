// The print filter, run as the spooler runs it, against the stand-in converter in
// tests/filter/standin-converter (and, for one case, against a converter path where nothing
// is), and end to end against the converter built beside it.
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "PdfBuilder.h"
#include "Rendering.h"
#include "TestUtil.h"
#include "Apps/converter/PathUtils.h"
#include "Pdf/Limits.h"

namespace {

const std::string kFilter = VARDEX_BINARY_DIR "/larkspan_standin";
const std::string kFilterNoConverter = VARDEX_BINARY_DIR "/larkspan_noconv";
const std::string kFilterRealConverter = VARDEX_BINARY_DIR "/larkspan_vardex";
const std::string kDebugDir = VARDEX_BINARY_DIR "/testtmp/filter-debug";
const std::string kMarker = "PK-standin\n";

using testutil::Entries;
using testutil::Quote;

struct Result {
    int status;
    std::string out;
    std::string err;
};

struct Job {
    std::string filter = kFilter;
    std::string cwd;
    std::string tmpdir;  // "-" leaves TMPDIR unset
    std::string home = "-";  // "-" leaves HOME unset
    std::string mode;
    std::string user = "lp";
    std::string title = "report";
    std::vector<std::string> args;  // after the program name; the job file (if any) last
    std::string stdinFile = "/dev/null";
};

Result RunFilter(const Job& job)
{
    std::string errFile = job.cwd + "/.stderr";
    std::string cmd = "cd " + Quote(job.cwd) + " && env -u TMPDIR -u HOME";
    if (job.tmpdir != "-")
        cmd += " TMPDIR=" + Quote(job.tmpdir);
    if (job.home != "-")
        cmd += " HOME=" + Quote(job.home);
    cmd += " LARKSPAN_STANDIN=" + Quote(job.mode) + " " + Quote(job.filter);
    for (const std::string& a : job.args)
        cmd += " " + Quote(a);
    cmd += " <" + Quote(job.stdinFile) + " 2>" + Quote(errFile);
    Result r;
    r.status = testutil::RunCommand(cmd, &r.out);
    r.err = testutil::ReadFile(errFile);
    return r;
}

void MakeFile(const std::string& path, const std::string& bytes)
{
    testutil::RunCommand("mkdir -p \"$(dirname " + Quote(path) + ")\"");
    ASSERT_TRUE(testutil::WriteFile(path, bytes));
}

TEST(PrintFilter, JobsThroughTheStandInConverter)
{
    struct Case {
        const char* what;
        std::string jobFile;  // relative to the test folder; empty: the job comes on stdin
        bool createJob;
        bool absolutePath;
        std::string tmpdir;   // relative to the test folder, "-" for unset
        const char* home;     // relative to the test folder, "-" for unset
        const char* mode;
        bool noConverter;
        int status;
        const char* message;  // part of standard error on failure
    };
    const std::string longTmp(300, 't');
    const std::string longJob = "in/" + std::string(200, 'd') + "/" + std::string(100, 'j') + ".pdf";
    const Case cases[] = {
        {"job file with extension", "in/job.pdf", true, false, "spool", "-", "", false, 0, ""},
        {"job file without extension", "in/d00042-001", true, false, "spool", "-", "", false, 0, ""},
        {"several dots", "in/annual.report.pdf", true, true, "spool", "-", "", false, 0, ""},
        {"wildcard characters in the name", "in/a*b?.pdf", true, false, "spool", "-", "", false, 0, ""},
        {"converter prints", "in/job.pdf", true, false, "spool", "-", "chatty", false, 0, ""},
        {"job on standard input", "", true, false, "spool", "-", "", false, 0, ""},
        {"TMPDIR unset: HOME/temp", "in/job.pdf", true, false, "-", "home", "", false, 0, ""},
        {"TMPDIR and HOME unset: /tmp", "in/job.pdf", true, false, "-", "-", "", false, 0, ""},
        {"TMPDIR ~/ from HOME", "in/job.pdf", true, false, "~/spool", "home", "", false, 0, ""},
        {"TMPDIR created", "in/job.pdf", true, false, "new/spool", "-", "", false, 0, ""},
        {"converter fails: its reason is the error", "in/job.pdf", true, false, "spool", "-", "fail",
         false, 1, "ERROR: report: standin: cannot load "},
        {"converter crashes", "in/job.pdf", true, false, "spool", "-", "crash", false, 1,
         "ERROR: report: the converter failed (signal 11)"},
        {"no package", "in/job.pdf", true, false, "spool", "-", "nopackage", false, 1, "ERROR: report: open failed"},
        {"job file missing", "in/gone.pdf", false, false, "spool", "-", "", false, 1,
         "ERROR: report: standin: cannot read "},
        {"converter missing", "in/job.pdf", true, false, "spool", "-", "", true, 1, "ERROR: report: Error Execv"},
        {"TMPDIR too long", "in/job.pdf", true, false, longTmp, "-", "", false, 1, "ERROR: "},
        {"job path too long", longJob, true, false, "spool", "-", "", false, 1, "ERROR: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testutil::TempDir tmp;
        const std::string content = std::string("%PDF-1.4 ") + c.what + "\n";
        Job job;
        job.cwd = tmp.path();
        job.tmpdir = c.tmpdir;
        if (std::string(c.home) != "-")
            job.home = tmp.file(c.home);
        job.mode = c.mode;
        if (c.noConverter)
            job.filter = kFilterNoConverter;
        job.args = {"42", job.user, job.title, "1", ""};
        if (c.jobFile.empty()) {
            MakeFile(tmp.file("stdin.bin"), content);
            job.stdinFile = tmp.file("stdin.bin");
        } else {
            if (c.createJob)
                MakeFile(tmp.file(c.jobFile), content);
            job.args.push_back(c.absolutePath ? tmp.file(c.jobFile) : c.jobFile);
        }
        // The spool folder the job must leave empty; none to look at for /tmp.
        std::string spool;
        if (c.tmpdir == "-")
            spool = std::string(c.home) == "-" ? "" : tmp.file(std::string(c.home) + "/temp");
        else if (c.tmpdir.compare(0, 2, "~/") == 0)
            spool = tmp.file(c.home + c.tmpdir.substr(1));
        else if (c.tmpdir != longTmp)
            spool = tmp.file(c.tmpdir);
        if (c.tmpdir != longTmp && c.tmpdir != "-" && c.tmpdir != "new/spool")
            testutil::RunCommand("mkdir -p " + Quote(spool));

        Result r = RunFilter(job);
        EXPECT_EQ(r.status, c.status) << r.err;
        if (c.status == 0) {
            EXPECT_EQ(r.out, kMarker + content);
        } else {
            EXPECT_EQ(r.out, "");
            // One ERROR line, the reason the spooler shows for the job.
            EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
            size_t errors = 0;
            for (size_t at = r.err.find("ERROR: "); at != std::string::npos; at = r.err.find("ERROR: ", at + 1))
                errors++;
            EXPECT_EQ(errors, 1u) << r.err;
        }
        // Every job folder is gone, whatever happened to the job, and "~" is never a folder.
        if (!spool.empty()) {
            EXPECT_TRUE(testutil::FileExists(spool));
            EXPECT_EQ(Entries(spool), std::vector<std::string>{});
        }
        EXPECT_FALSE(testutil::FileExists(tmp.file("~")));
    }
}

// A page the converter drew only in part is a warning in the spooler's log, and the job
// goes on; the other lines pass as they are, a line longer than any block whole. The reason
// of a converter that fails is its own line, never a warning around it.
TEST(PrintFilter, ConverterWarningsReachTheSpoolerAsWarnings)
{
    for (const char* mode : {"warn", "warnfail"}) {
        SCOPED_TRACE(mode);
        testutil::TempDir tmp;
        testutil::RunCommand("mkdir " + Quote(tmp.file("spool")));
        const std::string content = "%PDF-1.4 warned\n";
        MakeFile(tmp.file("in/job.pdf"), content);
        Job job;
        job.cwd = tmp.path();
        job.tmpdir = "spool";
        job.mode = mode;
        job.args = {"42", "lp", "report", "1", "", tmp.file("in/job.pdf")};
        Result r = RunFilter(job);
        const std::string warning = "WARNING: Vardex: " + tmp.file("in/job.pdf") +
                                    ": page 2 is drawn in part: it reached its limit of 3000016 "
                                    "content tokens (PAGE_MAX_CONTENT_TOKENS)\n";
        EXPECT_EQ(std::string::npos, r.err.find("Vardex: warning:")) << r.err;
        if (std::string(mode) == "warn") {
            EXPECT_EQ(0, r.status) << r.err;
            EXPECT_EQ(kMarker + content, r.out);
            EXPECT_EQ("DEBUG: before the warning\n" + warning + std::string(6000, 'x') + "\n",
                      r.err);
        } else {
            EXPECT_EQ(1, r.status);
            EXPECT_EQ("", r.out);
            const std::string reason = "standin: cannot load " + tmp.file("in/job.pdf") + "\n";
            EXPECT_EQ(warning + reason + warning + "ERROR: report: " + reason, r.err);
        }
        EXPECT_EQ(Entries(tmp.file("spool")), std::vector<std::string>{});
    }
}

TEST(PrintFilter, WrongArgumentCountGivesUsage)
{
    testutil::TempDir tmp;
    testutil::RunCommand("mkdir " + Quote(tmp.file("spool")));
    const std::vector<std::string> argLists[] = {
        {"42", "lp", "title", "1"},
        {"42", "lp", "title", "1", "", "job.pdf", "extra"},
    };
    for (const auto& args : argLists) {
        Job job;
        job.cwd = tmp.path();
        job.tmpdir = "spool";
        job.args = args;
        Result r = RunFilter(job);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "Usage: " + kFilter + " job user title copies options [filename]\n");
        EXPECT_EQ(Entries(tmp.file("spool")), std::vector<std::string>{});
    }
}

TEST(PrintFilter, DebugCopyNameStaysInsideTheDebugFolder)
{
    struct Case { const char* user; std::string title; std::string copy; };
    const Case cases[] = {
        {"brindlow", "Report-2024_v1.2", "Report-2024_v1.2.pdf"},
        {"brindlow", "../escape", "_._escape.pdf"},
        {"brindlow", "../../x/../../escape", "_._.._x_.._.._escape.pdf"},
        {"brindlow", ".profile", "_profile.pdf"},
        {"brindlow", "a b/c\\d", "a_b_c_d.pdf"},
        {"brindlow", "", "untitled.pdf"},
        {"brindlow", std::string(300, 'T'), std::string(100, 'T') + ".pdf"},
        {"lp", "Report", ""},
    };
    testutil::RunCommand("rm -rf " + Quote(kDebugDir) + " && mkdir -p " + Quote(kDebugDir));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title.substr(0, 40));
        testutil::TempDir tmp;
        testutil::RunCommand("mkdir " + Quote(tmp.file("spool")));
        MakeFile(tmp.file("job.pdf"), "%PDF-1.4 debug\n");
        Job job;
        job.cwd = tmp.path();
        job.tmpdir = "spool";
        job.args = {"42", c.user, c.title, "1", "", "job.pdf"};
        Result r = RunFilter(job);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, kMarker + "%PDF-1.4 debug\n");

        std::vector<std::string> expected;
        if (!c.copy.empty())
            expected.push_back(c.copy);
        EXPECT_EQ(Entries(kDebugDir), expected);
        if (!c.copy.empty()) {
            std::string copy = kDebugDir + "/" + c.copy;
            EXPECT_EQ(testutil::ReadFile(copy), "%PDF-1.4 debug\n");
            struct stat st;
            ASSERT_EQ(stat(copy.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0770u);
            remove(copy.c_str());
        }
        EXPECT_FALSE(testutil::FileExists(kDebugDir + "/../escape.pdf"));
        EXPECT_FALSE(testutil::FileExists(tmp.file("escape.pdf")));
        EXPECT_EQ(Entries(tmp.file("spool")), std::vector<std::string>{});
    }

    // A link planted under the copy's name, hard or symbolic, is replaced, never written
    // through.
    for (const char* link : {"ln", "ln -s"}) {
        SCOPED_TRACE(link);
        testutil::TempDir tmp;
        testutil::RunCommand("mkdir " + Quote(tmp.file("spool")));
        MakeFile(tmp.file("job.pdf"), "%PDF-1.4 debug\n");
        MakeFile(tmp.file("victim"), "precious\n");
        ASSERT_EQ(testutil::RunCommand(std::string(link) + " " + Quote(tmp.file("victim")) + " " +
                                       Quote(kDebugDir + "/Report.pdf")),
                  0);
        Job job;
        job.cwd = tmp.path();
        job.tmpdir = "spool";
        job.args = {"42", "brindlow", "Report", "1", "", "job.pdf"};
        Result r = RunFilter(job);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(testutil::ReadFile(tmp.file("victim")), "precious\n");
        EXPECT_EQ(testutil::ReadFile(kDebugDir + "/Report.pdf"), "%PDF-1.4 debug\n");
        remove((kDebugDir + "/Report.pdf").c_str());
    }
    testutil::RunCommand("rm -rf " + Quote(kDebugDir));
}

// The converter works two folders below TMPDIR (the job folder, then its own run folder); a
// TMPDIR that leaves no room for the names it writes there is refused before converting.
TEST(PrintFilter, ATmpdirWithoutRoomIsRefused)
{
    const size_t kLongest = TMP_MAX_FOLDER - 1 - strlen(VARDEX_RUN_FOLDER) - strlen("/larkspan-XXXXXX");
    testpdf::PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R >>");
    b.Stream(4, "/Filter /FlateDecode", testpdf::Deflate("20 20 60 40 re f\n"));
    b.ClassicXref();
    for (size_t length : {kLongest, kLongest + 1, (size_t)235}) {
        SCOPED_TRACE(length);
        testutil::TempDir tmp;
        MakeFile(tmp.file("in/job.pdf"), b.Bytes());
        ASSERT_LT(tmp.path().size() + 2, length);
        std::string spool = testutil::PaddedPath(tmp.path(), length);
        ASSERT_EQ(spool.size(), length);
        testutil::RunCommand("mkdir -p " + Quote(spool));
        Job job;
        job.filter = kFilterRealConverter;
        job.cwd = tmp.path();
        job.tmpdir = spool;
        job.args = {"42", "lp", "report", "1", "", "in/job.pdf"};
        Result r = RunFilter(job);
        if (length == kLongest) {
            EXPECT_EQ(r.status, 0) << r.err;
            ASSERT_TRUE(testutil::WriteFile(tmp.file("print.xps"), r.out));
            EXPECT_EQ(testutil::RunCommand("unzip -tqq " + Quote(tmp.file("print.xps")) + " >/dev/null"), 0);
        } else {
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.out, "");
            EXPECT_NE(r.err.find("ERROR: temporary folder path too long"), std::string::npos) << r.err;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        }
        EXPECT_EQ(Entries(spool), std::vector<std::string>{});
    }
}

TEST(PrintFilter, TwoJobsAtOnceInOneTmpdir)
{
    // Same job file name, different bytes: in a shared folder the two packages would be
    // one file written by both converters.
    testutil::TempDir tmp;
    testutil::RunCommand("mkdir " + Quote(tmp.file("spool")));
    const std::string a = "%PDF-1.4 first\n" + std::string(100000, 'a');
    const std::string b = "%PDF-1.4 second\n" + std::string(100000, 'b');
    MakeFile(tmp.file("a/job.pdf"), a);
    MakeFile(tmp.file("b/job.pdf"), b);

    std::string run = "cd " + Quote(tmp.path()) + " || exit 1; export TMPDIR=spool LARKSPAN_STANDIN=slow; ";
    for (const char* side : {"a", "b"}) {
        run += "( " + Quote(kFilter) + " 42 lp t 1 '' " + side + "/job.pdf >out." + side +
               " 2>err." + side + "; echo $? >status." + side + " ) & ";
    }
    run += "wait";
    ASSERT_EQ(testutil::RunCommand(run), 0);
    EXPECT_EQ(testutil::ReadFile(tmp.file("status.a")), "0\n") << testutil::ReadFile(tmp.file("err.a"));
    EXPECT_EQ(testutil::ReadFile(tmp.file("status.b")), "0\n") << testutil::ReadFile(tmp.file("err.b"));
    EXPECT_TRUE(testutil::ReadFile(tmp.file("out.a")) == kMarker + a);
    EXPECT_TRUE(testutil::ReadFile(tmp.file("out.b")) == kMarker + b);
    EXPECT_EQ(Entries(tmp.file("spool")), std::vector<std::string>{});
}

TEST(PrintFilter, RealConverterPrintsThePackage)
{
    testpdf::PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R >>");
    b.Stream(4, "", "20 20 60 40 re f\n");
    b.ClassicXref();
    // Forms that each draw a square and run the next one twice: far more runs than the page's
    // budget allows.
    testpdf::PdfBuilder fans;
    fans.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    fans.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    fans.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R "
                   "/Resources << /XObject << /X 5 0 R >> >> >>");
    fans.Stream(4, "", "/X Do\n");
    for (int k = 0; k < 16; k++)
        fans.Stream(5 + k, "/Type /XObject /Subtype /Form /BBox [0 0 200 100] /Resources << "
                           "/XObject << /X " + std::to_string(6 + k) + " 0 R >> >>",
                    "20 20 60 40 re f /X Do /X Do\n");
    fans.ClassicXref();
    const std::string notPdf = "no PDF here\n";
    struct Case {
        const char* what;
        const char* jobFile;
        const std::string* bytes;
        int status;
        bool inPart = false;  // a page drawn in part, which the spooler is warned of
    };
    const Case cases[] = {
        {"a PDF", "in/job.pdf", &b.Bytes(), 0},
        // Taken as a pattern, the name would also match the neighbour, which is no PDF.
        {"a PDF named like a pattern", "in/a*b.pdf", &b.Bytes(), 0},
        {"not a PDF", "in/job.pdf", &notPdf, 1},
        {"a page drawn in part", "in/job.pdf", &fans.Bytes(), 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testutil::TempDir tmp;
        testutil::RunCommand("mkdir " + Quote(tmp.file("spool")));
        MakeFile(tmp.file(c.jobFile), *c.bytes);
        MakeFile(tmp.file("in/a-b.pdf"), notPdf);
        Job job;
        job.filter = kFilterRealConverter;
        job.cwd = tmp.path();
        job.tmpdir = "spool";
        job.args = {"42", "lp", "report", "1", "", c.jobFile};
        Result r = RunFilter(job);
        EXPECT_EQ(r.status, c.status) << r.err;
        if (c.status == 0) {
            ASSERT_TRUE(testutil::WriteFile(tmp.file("print.xps"), r.out));
            EXPECT_EQ(testutil::RunCommand("unzip -tqq " + Quote(tmp.file("print.xps")) + " >/dev/null"), 0);
            EXPECT_EQ(testutil::RunCommand("mutool draw -q -o " + Quote(tmp.file("p.png")) + " " +
                                           Quote(tmp.file("print.xps")) + " 1 >/dev/null 2>&1"), 0);
            EXPECT_EQ(std::string::npos, r.err.find("ERROR:")) << r.err;
            const std::string warning = "WARNING: Vardex: " + tmp.file(c.jobFile) +
                                        ": page 1 is drawn in part: it reached its limit of ";
            const size_t at = r.err.find(warning);
            EXPECT_EQ(c.inPart, at != std::string::npos) << r.err;
            if (c.inPart) {
                EXPECT_EQ(at, r.err.rfind(warning)) << r.err;
                EXPECT_NE(std::string::npos,
                          r.err.find("nested content streams (PAGE_MAX_NESTED_RUNS)\n", at))
                    << r.err;
            }
        } else {
            EXPECT_EQ(r.out, "");
            // The converter's own reason is the job's error, with the job's title and file.
            EXPECT_NE(r.err.find("ERROR: report (" + tmp.file(c.jobFile) + "): no cross-reference data"),
                      std::string::npos)
                << r.err;
        }
        EXPECT_EQ(Entries(tmp.file("spool")), std::vector<std::string>{});
    }
}

// The ERROR line of a refused job names what the user printed, the job's title, as one line
// of the spooler's log whatever the title holds; the job file only when the spooler gave
// one (a job on standard input is the filter's own copy, which tells the user nothing).
TEST(PrintFilter, ARefusedJobNamesWhatTheUserPrinted)
{
    std::string accents;
    for (int i = 0; i < 60; i++)
        accents += "\xc3\xa9";  // 120 bytes of two-byte characters
    struct Case {
        const char* what;
        std::string title;
        bool onStdin;
        std::string named;  // what the ERROR line says before ": " and the reason
    };
    const Case cases[] = {
        {"a job file", "Quarterly report", false, "Quarterly report (JOB)"},
        {"a job on standard input", "Quarterly report", true, "Quarterly report"},
        {"line breaks in the title", "two\nlines\rATTR: job-state-message=x", true,
         "two lines ATTR: job-state-message=x"},
        {"a long title", std::string(300, 'T'), true, std::string(100, 'T')},
        {"cut between characters", "x" + accents, true, "x" + accents.substr(0, 98)},
        {"no title", "", true, "untitled"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testutil::TempDir tmp;
        testutil::RunCommand("mkdir " + Quote(tmp.file("spool")));
        MakeFile(tmp.file("in/job.pdf"), "no PDF here\n");
        Job job;
        job.filter = kFilterRealConverter;
        job.cwd = tmp.path();
        job.tmpdir = "spool";
        job.args = {"42", "lp", c.title, "1", ""};
        if (c.onStdin)
            job.stdinFile = tmp.file("in/job.pdf");
        else
            job.args.push_back("in/job.pdf");
        Result r = RunFilter(job);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        std::string named = c.named;
        size_t at = named.find("JOB");
        if (at != std::string::npos)
            named.replace(at, 3, tmp.file("in/job.pdf"));
        size_t error = r.err.find("ERROR: ");
        ASSERT_NE(error, std::string::npos) << r.err;
        std::string line = r.err.substr(error, r.err.find('\n', error) - error);
        const std::string expected = "ERROR: " + named + ": no cross-reference data found";
        EXPECT_EQ(line.substr(0, expected.size()), expected);
        EXPECT_EQ(r.err.find("\nATTR:"), std::string::npos) << r.err;
        EXPECT_EQ(Entries(tmp.file("spool")), std::vector<std::string>{});
    }
}

// A job the spooler cancels (SIGTERM) or whose line hangs up ends the converter with it and
// leaves no job folder.
TEST(PrintFilter, AStoppedJobEndsTheConverterAndLeavesNothing)
{
    for (const char* sig : {"TERM", "HUP"}) {
        SCOPED_TRACE(sig);
        testutil::TempDir tmp;
        testutil::RunCommand("mkdir " + Quote(tmp.file("spool")));
        MakeFile(tmp.file("job.pdf"), "%PDF-1.4 cancelled\n");
        std::string run = "cd " + Quote(tmp.path()) +
                          " || exit 1; export TMPDIR=spool LARKSPAN_STANDIN=hang LARKSPAN_STANDIN_PID=\"$PWD/pid\"; " +
                          Quote(kFilter) + " 42 lp t 1 '' job.pdf >out 2>err & f=$!; " +
                          "for i in $(seq 200); do [ -s pid ] && break; sleep 0.05; done; " +
                          "kill -" + sig + " $f; wait $f; echo $? >status";
        ASSERT_EQ(testutil::RunCommand(run), 0);
        std::string pid = testutil::ReadFile(tmp.file("pid"));
        ASSERT_FALSE(pid.empty()) << testutil::ReadFile(tmp.file("err"));
        EXPECT_NE(testutil::ReadFile(tmp.file("status")), "0\n");
        EXPECT_EQ(testutil::ReadFile(tmp.file("out")), "");
        EXPECT_EQ(Entries(tmp.file("spool")), std::vector<std::string>{});
        // The converter was ended and reaped: its process id names nothing.
        EXPECT_NE(testutil::RunCommand("kill -0 " + pid.substr(0, pid.find('\n')) + " 2>/dev/null"), 0);
    }
}

}  // namespace
