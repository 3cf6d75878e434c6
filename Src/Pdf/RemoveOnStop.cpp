#include "Pdf/RemoveOnStop.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The handler reads these only while their flag is set; the owner clears the flag before it
// changes a path, and sets it after.
char g_folder[PATH_MAX];
char g_file[PATH_MAX];
volatile sig_atomic_t g_haveFolder = 0;
volatile sig_atomic_t g_haveFile = 0;
volatile sig_atomic_t g_child = 0;

const int kSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGXFSZ};

// Folders below the named one that are emptied too: the print filter's job folder holds the
// converter's run folder, which holds only files.
const int kMaxDepth = 2;

void SetPath(char* dst, volatile sig_atomic_t* flag, const char* path)
{
    *flag = 0;
    if (!path || !*path || strlen(path) >= PATH_MAX)
        return;
    memcpy(dst, path, strlen(path) + 1);
    *flag = 1;
}

// Empties the open folder `fd` with nothing but system calls (no stdio, no allocation):
// getdents64 and unlinkat are safe in a signal handler where readdir is not.
void EmptyFolder(int fd, int depth)
{
    alignas(8) char buf[4096];
    for (int pass = 0; pass < 64; pass++) {
        if (lseek(fd, 0, SEEK_SET) != 0)
            return;
        bool removed = false;
        long n;
        while ((n = syscall(SYS_getdents64, fd, buf, sizeof buf)) > 0) {
            for (long off = 0; off < n;) {
                // struct linux_dirent64: ino (8), off (8), reclen (2), type (1), name.
                unsigned short reclen;
                memcpy(&reclen, buf + off + 16, sizeof reclen);
                unsigned char type = (unsigned char)buf[off + 18];
                const char* name = buf + off + 19;
                off += reclen;
                if (reclen == 0)
                    return;
                if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
                    continue;
                if (type == DT_DIR) {
                    if (depth < kMaxDepth) {
                        int sub = openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                        if (sub >= 0) {
                            EmptyFolder(sub, depth + 1);
                            close(sub);
                        }
                    }
                    if (unlinkat(fd, name, AT_REMOVEDIR) == 0)
                        removed = true;
                } else if (unlinkat(fd, name, 0) == 0) {
                    removed = true;
                }
            }
        }
        if (!removed)
            return;
    }
}

void OnStop(int sig)
{
    int savedErrno = errno;
    pid_t child = (pid_t)g_child;
    if (child > 0) {
        kill(child, sig == SIGPIPE ? SIGTERM : sig);
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    if (g_haveFile)
        unlink(g_file);
    if (g_haveFolder) {
        int fd = open(g_folder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) {
            EmptyFolder(fd, 1);
            close(fd);
        }
        rmdir(g_folder);
    }
    // End the process by the same signal, as if it had not been caught.
    signal(sig, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
    errno = savedErrno;
}

}  // namespace

void RemoveOnStopInstall()
{
    for (int sig : kSignals) {
        struct sigaction old;
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
            continue;
        struct sigaction sa;
        memset(&sa, 0, sizeof sa);
        sa.sa_handler = OnStop;
        sigfillset(&sa.sa_mask);  // one cleanup at a time
        sigaction(sig, &sa, nullptr);
    }
}

void RemoveOnStopFolder(const char* path)
{
    SetPath(g_folder, &g_haveFolder, path);
}

void RemoveOnStopFile(const char* path)
{
    SetPath(g_file, &g_haveFile, path);
}

void RemoveOnStopChild(pid_t child)
{
    g_child = child > 0 ? child : 0;
}
