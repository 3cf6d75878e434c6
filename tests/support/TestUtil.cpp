#include "TestUtil.h"

#include <csignal>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testutil {

namespace {
const char kEveryUserPrefix[] = "/tmp/vardex-testtmp.";
}

TempDir::TempDir(bool everyUser)
{
    std::string base = VARDEX_BINARY_DIR "/testtmp";
    std::string tmpl = std::string(kEveryUserPrefix) + "XXXXXX";
    if (!everyUser) {
        mkdir(base.c_str(), 0755);
        tmpl = base + "/t.XXXXXX";
    }
    char* made = mkdtemp(&tmpl[0]);
    path_ = made ? made : base;
    if (made && everyUser)
        chmod(made, 0755);
}

TempDir::~TempDir()
{
    bool ours = path_.find("/testtmp/t.") != std::string::npos || path_.rfind(kEveryUserPrefix, 0) == 0;
    if (ours && !getenv("VARDEX_KEEP_TEMP"))
        RunCommand("rm -rf '" + path_ + "'");
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> Entries(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..")
                names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string Captured(FILE* stream, const std::string& file, const std::function<void()>& body)
{
    int fd = fileno(stream);
    fflush(stream);
    int saved = dup(fd);
    int to = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(to, fd);
    close(to);
    body();
    fflush(stream);
    dup2(saved, fd);
    close(saved);
    return ReadFile(file);
}

FILE* StreamOf(const std::string& bytes)
{
    FILE* fp = tmpfile();
    if (!fp)
        return nullptr;
    fwrite(bytes.data(), 1, bytes.size(), fp);
    rewind(fp);
    return fp;
}

bool WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    return (bool)out;
}

bool FileExists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

int RunCommand(const std::string& command, std::string* out)
{
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        text.append(buf, n);
    int status = pclose(p);
    if (out)
        *out = text;
    if (status == -1 || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

bool HaveTool(const std::string& name)
{
    return RunCommand("command -v '" + name + "' >/dev/null 2>&1") == 0;
}

FileSizeLimit::FileSizeLimit(long bytes)
{
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    oldCur_ = old.rlim_cur;
    oldMax_ = old.rlim_max;
    oldHandler_ = signal(SIGXFSZ, SIG_IGN);
    struct rlimit lim = old;
    lim.rlim_cur = (rlim_t)bytes;
    setrlimit(RLIMIT_FSIZE, &lim);
}

FileSizeLimit::~FileSizeLimit()
{
    struct rlimit old;
    old.rlim_cur = oldCur_;
    old.rlim_max = oldMax_;
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler_);
}

std::string PaddedPath(const std::string& base, size_t length)
{
    std::string path = base;
    while (path.size() + 1 < length) {
        size_t rest = length - path.size();
        size_t n = rest <= 41 ? rest - 1 : std::min<size_t>(40, rest - 3);
        path += "/" + std::string(n, 'd');
    }
    return path;
}

std::string DiskFullAfter(long kib)
{
    // An ignored signal stays ignored across exec; bash counts ulimit -f in KiB.
    return "trap '' XFSZ; ulimit -f " + std::to_string(kib) + "; ";
}

}  // namespace testutil
