// larkspan: the print filter. The spooler runs it on one job; it runs the converter on the
// job's PDF in a folder of its own and copies the package to standard output, which the
// spooler takes as the print data. Standard output therefore carries nothing but the
// package; every message goes to standard error, where the spooler logs "ERROR: " lines.
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Apps/converter/PathUtils.h"
#include "Pdf/FileAccess.h"
#include "Pdf/RemoveOnStop.h"

#ifndef LARKSPAN_CONVERTER
#define LARKSPAN_CONVERTER "/usr/local/bin/Vardex"
#endif
// The converter's path relative to the folder the filter is installed in, so that an
// installation moved to another prefix still runs its own converter; empty: none.
#ifndef LARKSPAN_CONVERTER_RELATIVE
#define LARKSPAN_CONVERTER_RELATIVE ""
#endif
#ifndef LARKSPAN_DEBUG_DIR
#define LARKSPAN_DEBUG_DIR "/Users/brindlow"
#endif

namespace {

const char kDebugUser[] = "brindlow";
// The job's file when it comes on standard input.
const char kStdinJobName[] = "job.pdf";
// A debug copy's name keeps at most this much of the title.
const size_t kMaxTitleName = 100;
const size_t kCopyBlock = 4000;
// The converter's reason for a refusal is its last line; longer lines are cut to this.
const size_t kMaxReason = 400;
// The signals that stop the filter, held back while the converter is being started so that
// a stop never misses the child.
const int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGXFSZ};

// The job's own folder, removed on every way out once it exists.
char g_jobDir[PDF_MAX_PATH];

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*)
{
    remove(path);
    return 0;
}

void RemoveJobDir()
{
    RemoveOnStopFolder(nullptr);
    if (g_jobDir[0])
        nftw(g_jobDir, RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    g_jobDir[0] = 0;
}

[[noreturn]] void Fail(const char* format, const char* detail)
{
    fputs("ERROR: ", stderr);
    fprintf(stderr, format, detail);
    fputc('\n', stderr);
    RemoveJobDir();
    exit(1);
}

bool WriteAll(int fd, const char* data, size_t n)
{
    while (n > 0) {
        ssize_t put = write(fd, data, n);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        data += put;
        n -= (size_t)put;
    }
    return true;
}

// Copies everything from `in` to `out`: 0, or -1 when reading and -2 when writing failed.
int CopyFd(int in, int out)
{
    char block[kCopyBlock];
    for (;;) {
        ssize_t got = read(in, block, sizeof block);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            return 0;
        if (!WriteAll(out, block, (size_t)got))
            return -2;
    }
}

// The title as a file name that stays in the folder it is put in: letters, digits, '.',
// '_' and '-' only, no leading dot, bounded in length.
void SafeName(const char* title, char* out, size_t size)
{
    size_t n = 0;
    for (const char* p = title; *p && n + 1 < size && n < kMaxTitleName; p++) {
        char c = *p;
        bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                  c == '.' || c == '_' || c == '-';
        if (!ok || (n == 0 && c == '.'))
            c = '_';
        out[n++] = c;
    }
    out[n] = 0;
    if (n == 0)
        snprintf(out, size, "untitled");
}

// The debug copy of the job, for the debug user only. It is a diagnostic: its failures are
// not the job's. The mode is opened up only on a copy that was written in full.
void DebugCopy(const char* title, const char* jobFile)
{
    char name[kMaxTitleName + 1];
    SafeName(title, name, sizeof name);
    char path[PDF_MAX_PATH];
    int len = snprintf(path, sizeof path, "%s/%s.pdf", LARKSPAN_DEBUG_DIR, name);
    if (len < 0 || (size_t)len >= sizeof path)
        return;
    int in = open(jobFile, O_RDONLY);
    if (in < 0)
        return;
    // A new file in place of whatever has the name: a link planted there, hard or
    // symbolic, is replaced, never written through.
    int out = CreateNewFile(path);
    if (out >= 0) {
        if (CopyFd(in, out) == 0)
            fchmod(out, 0770);
        close(out);
    }
    close(in);
}

// The job's title fit for one line of the spooler's log: control characters (a line break
// would start a line of its own, which the spooler reads as a message) become blanks, and it
// is cut to kMaxTitleName bytes, not inside a UTF-8 character.
void LogTitle(const char* title, char* out, size_t size)
{
    size_t n = 0;
    for (const char* p = title; *p && n + 1 < size && n < kMaxTitleName; p++) {
        unsigned char c = (unsigned char)*p;
        out[n++] = c < 0x20 || c == 0x7f ? ' ' : (char)c;
    }
    // Cut inside a character: its first bytes go too.
    if (((unsigned char)title[n] & 0xc0) == 0x80) {
        while (n > 0 && ((unsigned char)out[n - 1] & 0xc0) == 0x80)
            n--;
        if (n > 0)
            n--;
    }
    out[n] = 0;
}

// Ends a job the converter did not print, naming what the user printed (the job's title), and
// the job file too when the spooler gave one: the converter's line begins with the path it
// was handed ("Vardex: " before it on its own lines), which is the spooler's spool file, or
// the filter's copy of a job that came on standard input and tells the user nothing.
[[noreturn]] void FailJob(const char* title, const char* jobFile, bool fromStdin, const char* why)
{
    char name[kMaxTitleName + 1];
    LogTitle(title, name, sizeof name);
    const char* rest = why;
    if (strncmp(rest, "Vardex: ", 8) == 0)
        rest += 8;
    size_t len = strlen(jobFile);
    bool aboutJob = strncmp(rest, jobFile, len) == 0 && strncmp(rest + len, ": ", 2) == 0;
    if (aboutJob)
        rest += len + 2;
    else
        rest = why;
    const char* named = name[0] ? name : "untitled";
    char line[kMaxReason + kMaxTitleName + PDF_MAX_PATH + 8];
    if (aboutJob && !fromStdin)
        snprintf(line, sizeof line, "%s (%s): %s", named, jobFile, rest);
    else
        snprintf(line, sizeof line, "%s: %s", named, rest);
    Fail("%s", line);
}

// Makes the job folder: a fresh folder under `tmp`, created first when missing.
void MakeJobDir(const char* tmp)
{
    int why = 0;
    if (!IsDir(tmp) && !MakeDirectory(tmp, &why)) {
        char detail[PDF_MAX_PATH + 64];
        snprintf(detail, sizeof detail, "%s: %s", tmp, strerror(why));
        Fail("cannot create the temporary folder %s", detail);
    }
    char absolute[PATH_MAX];
    if (!realpath(tmp, absolute))
        Fail("cannot resolve the temporary folder %s", tmp);
    char pattern[PDF_MAX_PATH];
    char runFolder[PDF_MAX_PATH];
    int len = snprintf(pattern, sizeof pattern, "%s/larkspan-XXXXXX", absolute);
    // The converter works in a folder of its own inside the job folder: both must leave room
    // for the names of the files it writes there.
    if (len < 0 || (size_t)len >= sizeof pattern || !RunFolderPattern(runFolder, pattern))
        Fail("temporary folder path too long: %s", absolute);
    if (!mkdtemp(pattern))
        Fail("cannot create a job folder in %s", absolute);
    memcpy(g_jobDir, pattern, (size_t)len + 1);
    RemoveOnStopFolder(g_jobDir);
}

// The job's file as an absolute path (the converter runs in the job folder).
void JobFileFromArgument(const char* arg, char* out, size_t size)
{
    if (arg[0] == '/') {
        if (strlen(arg) >= size)
            Fail("job file path too long: %.80s...", arg);
        strcpy(out, arg);
    } else if (!MakeFullPathCurrent(out, arg, size)) {
        Fail("job file path too long: %.80s...", arg);
    }
}

void JobFileFromStdin(char* out, size_t size)
{
    out[0] = 0;
    if (!MakeFullPath(strcpy(out, g_jobDir), kStdinJobName, size))
        Fail("job file path too long in %s", g_jobDir);
    int fd = CreateNewFile(out);
    if (fd < 0)
        Fail("cannot create %s", out);
    int copied = CopyFd(STDIN_FILENO, fd);
    if (close(fd) != 0 || copied != 0)
        Fail("cannot copy the job from standard input into %s", out);
}

// A leading "~" of the temporary folder stands for HOME; without HOME the folder is /tmp.
void ExpandHome(const char* tmp, char* out, size_t size)
{
    if (tmp[0] != '~' || (tmp[1] && tmp[1] != '/')) {
        if (strlen(tmp) >= size)
            Fail("temporary folder path too long: %.80s...", tmp);
        strcpy(out, tmp);
        return;
    }
    const char* home = getenv("HOME");
    if (!home || !home[0]) {
        strcpy(out, "/tmp");
        return;
    }
    int len = snprintf(out, size, "%s%s", home, tmp + 1);
    if (len < 0 || (size_t)len >= size)
        Fail("temporary folder path too long: %.80s...", home);
}

// The converter installed with this filter: the one at LARKSPAN_CONVERTER_RELATIVE from the
// filter's own folder when it is there, else the one configured at build time.
void FindConverter(char* out, size_t size)
{
    snprintf(out, size, "%s", LARKSPAN_CONVERTER);
    if (!LARKSPAN_CONVERTER_RELATIVE[0])
        return;
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return;
    self[n] = 0;
    char* slash = strrchr(self, '/');
    if (!slash)
        return;
    slash[1] = 0;
    char candidate[PATH_MAX];
    int len = snprintf(candidate, sizeof candidate, "%s%s", self, LARKSPAN_CONVERTER_RELATIVE);
    if (len > 0 && (size_t)len < sizeof candidate && (size_t)len < size &&
        access(candidate, X_OK) == 0)
        memcpy(out, candidate, (size_t)len + 1);
}

void SetStopSignals(int how)
{
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kStopSignals)
        sigaddset(&set, sig);
    sigprocmask(how, &set, nullptr);
}

// In the child: run the converter in the job folder. Its standard output is the spooler's
// print data, so both its output streams go into `messages`, which the filter reads. The job
// file is passed with --file, which the converter takes as it stands, never as a pattern.
[[noreturn]] void RunConverter(const char* converter, const char* jobFile, int messages)
{
    RemoveOnStopFolder(nullptr);  // the parent's to remove, not the converter's
    signal(SIGPIPE, SIG_DFL);
    if (dup2(messages, STDOUT_FILENO) < 0 || dup2(messages, STDERR_FILENO) < 0 ||
        chdir(g_jobDir) != 0) {
        fprintf(stderr, "cannot prepare the converter in %s: %s\n", g_jobDir, strerror(errno));
        _exit(127);
    }
    close(messages);
    SetStopSignals(SIG_UNBLOCK);
    char* const argv[] = {
        (char*)"Vardex", (char*)"-q", (char*)"--tmpdir", g_jobDir,
        (char*)"-o", g_jobDir, (char*)"--file", (char*)jobFile, nullptr,
    };
    execv(converter, argv);
    fprintf(stderr, "Error Execv %s: %s\n", converter, strerror(errno));
    _exit(127);
}

// Passes the converter's messages on to standard error as they come (the spooler logs them)
// and keeps its last line that is neither a debug line nor a warning in `reason`: the
// converter says why it refused a document in one line, which becomes the job's ERROR line.
// A warning of the converter ("Vardex: warning: ...", a page it drew only in part) reaches
// the spooler as a "WARNING: " line of its own, and the job goes on.
void ForwardMessages(int in, char* reason, size_t size)
{
    static const char kWarning[] = "Vardex: warning: ";
    static const char kWarningLine[] = "WARNING: Vardex: ";
    const size_t warningLength = sizeof kWarning - 1;
    char line[kMaxReason + 1];
    size_t len = 0;  // bytes of the line kept in `line`
    // A line's first bytes wait in `line` until they tell whether it is a warning; the rest
    // of the line follows as it comes.
    enum { UNDECIDED, PLAIN, WARNING } kind = UNDECIDED;
    char block[kCopyBlock];
    char out[kCopyBlock];
    size_t put = 0;
    auto emit = [&](const char* bytes, size_t n) {
        if (put + n > sizeof out) {
            WriteAll(STDERR_FILENO, out, put);
            put = 0;
        }
        memcpy(out + put, bytes, n);
        put += n;
    };
    auto endLine = [&]() {
        line[len] = 0;
        if (kind != WARNING && len > 0 && strncmp(line, "DEBUG:", 6) != 0)
            snprintf(reason, size, "%s", line);
        len = 0;
        kind = UNDECIDED;
    };
    reason[0] = 0;
    for (;;) {
        ssize_t got = read(in, block, sizeof block);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        for (ssize_t i = 0; i < got; i++) {
            const char c = block[i];
            if (c == '\n') {
                if (kind == UNDECIDED)
                    emit(line, len);
                emit(&c, 1);
                endLine();
                continue;
            }
            if (len < kMaxReason)
                line[len++] = c;
            if (kind != UNDECIDED) {
                emit(&c, 1);
            } else if (len == warningLength) {
                kind = memcmp(line, kWarning, warningLength) == 0 ? WARNING : PLAIN;
                if (kind == WARNING)
                    emit(kWarningLine, sizeof kWarningLine - 1);
                else
                    emit(line, len);
            }
        }
        WriteAll(STDERR_FILENO, out, put);
        put = 0;
    }
    // A last line without its line feed.
    if (kind == UNDECIDED)
        emit(line, len);
    WriteAll(STDERR_FILENO, out, put);
    endLine();
}

}  // namespace

int main(int argc, char** argv)
{
    const char* tmpdir = getenv("TMPDIR");
    if (!tmpdir)
        tmpdir = "~/temp";

    if (argc != 6 && argc != 7) {
        fprintf(stderr, "Usage: %s job user title copies options [filename]\n",
                argc > 0 ? argv[0] : "larkspan");
        return 1;
    }
    // A spooler that stops reading gets EPIPE and a cleaned-up job, not a silent death.
    signal(SIGPIPE, SIG_IGN);
    // Stopped by the spooler (SIGTERM on a cancelled job), the filter stops the converter
    // and removes the job folder before it ends.
    RemoveOnStopInstall();

    char tmp[PDF_MAX_PATH];
    ExpandHome(tmpdir, tmp, sizeof tmp);
    MakeJobDir(tmp);

    char jobFile[PDF_MAX_PATH];
    if (argc == 7)
        JobFileFromArgument(argv[6], jobFile, sizeof jobFile);
    else
        JobFileFromStdin(jobFile, sizeof jobFile);

    if (strcmp(argv[2], kDebugUser) == 0)
        DebugCopy(argv[3], jobFile);

    // The converter names the package this way; the filter looks for exactly that name.
    char packageName[PDF_MAX_PATH];
    char package[PDF_MAX_PATH];
    if (!MakePackageName(packageName, jobFile, sizeof packageName) ||
        !MakeFullPath(strcpy(package, g_jobDir), packageName, sizeof package))
        Fail("package path too long for the job file %s", jobFile);

    char converter[PDF_MAX_PATH];
    FindConverter(converter, sizeof converter);
    int messages[2];
    if (pipe(messages) != 0)
        Fail("cannot start the converter: %s", strerror(errno));
    fflush(stdout);
    fflush(stderr);
    SetStopSignals(SIG_BLOCK);
    pid_t child = fork();
    if (child < 0) {
        SetStopSignals(SIG_UNBLOCK);
        fputs("Error Fork\n", stderr);
        RemoveJobDir();
        return 255;
    }
    if (child == 0) {
        close(messages[0]);
        RunConverter(converter, jobFile, messages[1]);
    }
    RemoveOnStopChild(child);
    SetStopSignals(SIG_UNBLOCK);
    close(messages[1]);
    char reason[kMaxReason + 1];
    ForwardMessages(messages[0], reason, sizeof reason);
    close(messages[0]);

    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            Fail("lost the converter: %s", strerror(errno));
    }
    RemoveOnStopChild(0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        char detail[64];
        if (WIFEXITED(status))
            snprintf(detail, sizeof detail, "exit status %d", WEXITSTATUS(status));
        else
            snprintf(detail, sizeof detail, "signal %d", WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        char why[kMaxReason + 64];
        if (reason[0])
            snprintf(why, sizeof why, "%s", reason);
        else
            snprintf(why, sizeof why, "the converter failed (%s)", detail);
        FailJob(argv[3], jobFile, argc == 6, why);
    }

    int in = open(package, O_RDONLY);
    if (in < 0)
        FailJob(argv[3], jobFile, argc == 6, "open failed: the converter wrote no package");
    int copied = CopyFd(in, STDOUT_FILENO);
    int copyErrno = errno;
    close(in);
    if (copied == -1)
        Fail("cannot read the package %s", package);
    if (copied == -2)
        Fail("cannot write the print data: %s", strerror(copyErrno));

    RemoveJobDir();
    return 0;
}
