// Small helpers on byte-string paths: joining, extensions, wildcard matching, folder parts,
// folder creation, separator normalisation. '/' and '\' both count as separators; a path
// whose second character is ':' or whose first is a separator counts as absolute.
//
// Every function that builds a path takes the size of its output buffer. A result that does
// not fit is a failure (null or false) and leaves the buffer as it was: a path is never cut.
#ifndef VARDEX_APPS_CONVERTER_PATHUTILS_H
#define VARDEX_APPS_CONVERTER_PATHUTILS_H

#include <cstddef>
#include <cwchar>

// Appends `name` to `path` with one '/' between them (none after a trailing separator, none
// for an empty path). The path buffer, or null when the result does not fit `size` bytes.
char* MakeFullPath(char* path, const char* name, size_t size);

// `buffer` := the current folder joined with `name` as MakeFullPath does. Null when the
// current folder cannot be read or the result does not fit; `buffer` is then untouched.
char* MakeFullPathCurrent(char* buffer, const char* name, size_t size);

// Replaces the last extension of `name` (a '.' in the first position does not count) by
// `ext`; with `digits` -1 "_%d" and with `digits` above 0 "%0<digits>d" go before the '.',
// making a printf pattern for numbered names. Null when the result does not fit.
char* NewExt(char* name, const char* ext, int digits, size_t size);

// 1 when `text` matches `pattern` ('*' any run, '?' one character; case-sensitive), else 0.
int wildcmp(const char* pattern, const char* text);

// `out` := `path` up to its last separator. False when there is none, or when `path` does
// not fit `size` bytes (callers reject such paths before asking); `out` is then empty.
bool GetPathFromFileName(const char* path, char* out, size_t size);

// Creates every folder along `path` (mode 0775). True when the path is a folder afterwards;
// otherwise `error`, when given, gets the system's reason (an errno value): that of the first
// folder that could not be made, or ENOTDIR when the path names something else.
bool MakeDirectory(const char* path, int* error = nullptr);

// `out` := `base` joined with `rel` by `sep`, leading separators of `rel` and trailing ones
// of the result dropped, every '/' and '\' turned into `sep`. `out` may be `base` or `rel`.
// The output buffer, or null (`out` untouched) when the result does not fit `size` bytes.
char* BuildPath(char* out, const char* base, const char* rel, char sep, size_t size);

// Every conversion works in a folder of its own, made with this name pattern inside the
// temporary folder it is given, so that conversions sharing one never meet.
#define VARDEX_RUN_FOLDER "vardex.XXXXXX"

// `out` (PDF_MAX_PATH bytes) := `base` + '/' + VARDEX_RUN_FOLDER, the pattern of a run
// folder inside `base`. False (`out` empty) when that path would be longer than
// TMP_MAX_FOLDER bytes, which leaves no room for the names of the files written into it.
bool RunFolderPattern(char* out, const char* base);

// True when `path` names a folder (symbolic links followed).
bool IsDir(const char* path);

// 2n lower-case hexadecimal digits and a terminator; the buffer holds 2n+1 characters.
void generateRandomStringA(char* buffer, int n);
void generateRandomStringW(wchar_t* buffer, int n);

// The file name of the package made from the input path `input`: its last component with
// the extension replaced by "XPS" ("annual.report.pdf" gives "annual.report.XPS", "job"
// gives "job.XPS"). The converter names its packages with this and the print filter finds
// them with it. Null when the input path is not below PDF_MAX_PATH bytes (the last
// component could not be told) or the name does not fit `size` bytes.
char* MakePackageName(char* out, const char* input, size_t size);

#endif
