#include "Apps/converter/PathUtils.h"

#include "Pdf/Limits.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "Pdf/FileAccess.h"

namespace {

bool IsSep(char c)
{
    return c == '/' || c == '\\';
}

// Copies `text` into `out` when it fits with its terminator.
char* Store(char* out, const std::string& text, size_t size)
{
    if (!out || text.size() >= size)
        return nullptr;
    memcpy(out, text.c_str(), text.size() + 1);
    return out;
}

void Join(std::string& path, const char* name)
{
    if (!path.empty() && !IsSep(path.back()))
        path += '/';
    path += name;
}

const char kHex[] = "0123456789abcdef";

// n random bytes as 2n hex digits and a terminator; each character type seeds once.
template <typename Ch>
void RandomHex(Ch* buffer, int n)
{
    static bool fSeeded = false;
    if (!buffer)
        return;
    if (!fSeeded) {
        srand((unsigned)time(nullptr));
        fSeeded = true;
    }
    int k = 0;
    for (int i = 0; i < n; i++) {
        unsigned byte = (unsigned)rand() & 0xff;
        buffer[k++] = (Ch)kHex[byte >> 4];
        buffer[k++] = (Ch)kHex[byte & 0xf];
    }
    buffer[k] = 0;
}

}  // namespace

char* MakeFullPath(char* path, const char* name, size_t size)
{
    if (!path || !name)
        return nullptr;
    std::string joined = path;
    Join(joined, name);
    return Store(path, joined, size);
}

char* MakeFullPathCurrent(char* buffer, const char* name, size_t size)
{
    if (!buffer || !name)
        return nullptr;
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd))
        return nullptr;
    std::string joined = cwd;
    Join(joined, name);
    return Store(buffer, joined, size);
}

char* NewExt(char* name, const char* ext, int digits, size_t size)
{
    if (!name || !ext)
        return nullptr;
    std::string result = name;
    for (size_t i = result.size(); i-- > 1;) {
        if (result[i] == '.') {
            result.resize(i);
            break;
        }
    }
    if (digits == -1)
        result += "_%d";
    else if (digits > 0)
        result += "%0" + std::to_string(digits) + "d";
    result += '.';
    result += ext;
    return Store(name, result, size);
}

int wildcmp(const char* pattern, const char* text)
{
    const char* retryPattern = nullptr;
    const char* retryText = nullptr;

    while (*text && *pattern != '*') {
        if (*pattern != *text && *pattern != '?')
            return 0;
        pattern++;
        text++;
    }
    while (*text) {
        if (*pattern == '*') {
            if (!*++pattern)
                return 1;
            retryPattern = pattern;
            retryText = text + 1;
        } else if (*pattern == *text || *pattern == '?') {
            pattern++;
            text++;
        } else {
            // Let the last '*' swallow one more character and try again from there.
            pattern = retryPattern;
            text = retryText++;
        }
    }
    while (*pattern == '*')
        pattern++;
    return *pattern ? 0 : 1;
}

bool GetPathFromFileName(const char* path, char* out, size_t size)
{
    if (!path || !out || size == 0)
        return false;
    out[0] = 0;
    size_t len = strlen(path);
    if (len >= size)
        return false;
    size_t last = len;
    for (size_t i = 0; i < len; i++) {
        if (IsSep(path[i]))
            last = i;
    }
    if (last == len)
        return false;
    memcpy(out, path, last);
    out[last] = 0;
    return true;
}

bool MakeDirectory(const char* path, int* error)
{
    if (!path || !*path || strlen(path) >= PDF_MAX_PATH) {
        if (error)
            *error = path && *path ? ENAMETOOLONG : ENOENT;
        return false;
    }
    char work[PDF_MAX_PATH];
    strcpy(work, path);
    // Every prefix that ends before a separator, then the whole path. Whether each mkdir
    // succeeds does not matter (most of the prefixes usually exist): the result is whether
    // the folder stands at the end, which also makes "out/" and an existing folder succeed
    // and a path that names a file, or cannot be created, fail. The first refusal other than
    // "exists" is the reason: the folders below it fail only for want of it.
    int first = 0;
    for (size_t i = 1; work[i]; i++) {
        if (IsSep(work[i])) {
            char saved = work[i];
            work[i] = 0;
            if (mkdir(work, 0775) != 0 && errno != EEXIST && !first)
                first = errno;
            work[i] = saved;
        }
    }
    if (mkdir(work, 0775) != 0 && errno != EEXIST && !first)
        first = errno;
    if (IsDir(path))
        return true;
    if (error)
        *error = first ? first : ENOTDIR;
    return false;
}

bool RunFolderPattern(char* out, const char* base)
{
    out[0] = 0;
    if (!base)
        return false;
    size_t len = strlen(base);
    while (len > 1 && IsSep(base[len - 1]))
        len--;
    if (len + 1 + strlen(VARDEX_RUN_FOLDER) > TMP_MAX_FOLDER)
        return false;
    if (len == 1 && IsSep(base[0]))
        len = 0;  // the root: "/vardex.XXXXXX"
    snprintf(out, PDF_MAX_PATH, "%.*s/%s", (int)len, base, VARDEX_RUN_FOLDER);
    return true;
}

char* BuildPath(char* out, const char* base, const char* rel, char sep, size_t size)
{
    if (!out)
        return out;
    std::string work = base ? base : "";
    if (rel) {
        while (*rel && (IsSep(*rel) || *rel == sep))
            rel++;
        if (*rel) {
            if (!work.empty() && !IsSep(work.back()))
                work += sep;
            work += rel;
        }
    }
    while (!work.empty() && (IsSep(work.back()) || work.back() == sep))
        work.pop_back();
    for (char& c : work) {
        if (IsSep(c))
            c = sep;
    }
    return Store(out, work, size);
}

bool IsDir(const char* path)
{
    struct stat st;
    return path && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

void generateRandomStringA(char* buffer, int n)
{
    RandomHex(buffer, n);
}

void generateRandomStringW(wchar_t* buffer, int n)
{
    RandomHex(buffer, n);
}

char* MakePackageName(char* out, const char* input, size_t size)
{
    if (!out || !input || strlen(input) >= PDF_MAX_PATH)
        return nullptr;
    char name[PDF_MAX_PATH];
    GetFileNameFromPath(input, name, false);
    if (!NewExt(name, "XPS", 0, sizeof name))
        return nullptr;
    return Store(out, name, size);
}
