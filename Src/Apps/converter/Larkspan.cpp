#include "Apps/converter/Larkspan.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "Apps/converter/AnyOption.h"
#include "Apps/converter/PathUtils.h"

namespace {

char kEmpty[] = "";
char kFolderExt[] = "PDF";

const char kBanner[] = "Brindlow Vardex V1.00.\n";

// The lines that look empty between two option entries hold 29 blanks, and four option
// lines end in a blank: the text is printed exactly as it stands.
const char kUsage[] =
    "Usage: Vardex [<options>] file...\n"
    "\n"
    "OPTIONS:\n"
    "\n"
    "  file...                    A list of folders and/or file names to process.\n"
    "                             \n"
    "  -o [ --output ] arg        The output folder used to store the xps files. \n"
    "                             By default, the currently selected working folder \n"
    "                             will be used to store converted xps files.\n"
    "                             \n"
    "  --subfolders               Process all sub-directory for every directory \n"
    "                             specified in the argument list. By default, \n"
    "                             sub-directories are not processed.\n"
    "                             \n"
    "  --verb arg (=1)            Set the verbosity level to 'arg' (0 - silent, 1 - verbose).\n"
    "                             \n"
    "  -1 [--stdout ]             Sends XPS file to stdout\n"
    "                             \n"
    "  -v [ --version ]           Print the version information.\n"
    "                             \n"
    "  -h [ --help ]              Print a listing of available options.\n"
    "                             \n"
    "\n"
    "\n"
    "Examples:\n"
    "Vardex -o test_out/ex1 test/WordDoc.pdf\n"
    "Vardex --stdout test/WordDoc.pdf\n";

struct OptionRow {
    const char* name;
    int shortChar;  // 0: long name only
    void (Larkspan::*handler)(char*);
    int isFlag;  // 2: a flag of the command line only, never of the option file
};

const OptionRow OptionTable[] = {
    {"output", 'o', &Larkspan::SetOutput, 0},
    {"quiet", 'q', &Larkspan::SetQuiet, 1},
    {"subfolders", 's', &Larkspan::SetSubfolders, 1},
    {"stdout", '1', &Larkspan::SetStdout, 1},
    {"tmpdir", 't', &Larkspan::SetTempFile, 0},
    {"opt1", '0', &Larkspan::Opt1, 1},
    {"file", 'f', &Larkspan::SetFile, 0},
    {"help", 'h', &Larkspan::SetHelp, 2},
    {"version", 'v', &Larkspan::SetVersion, 2},
};

bool IsAbsolute(const char* path)
{
    return path[0] && (path[1] == ':' || path[0] == '/' || path[0] == '\\');
}

void Upper(char* dst, const char* src, size_t size)
{
    size_t i = 0;
    for (; src[i] && i + 1 < size; i++)
        dst[i] = (char)toupper((unsigned char)src[i]);
    dst[i] = 0;
}

// A folder entry that is a folder itself and not a symbolic link to one: a descent through
// links could loop for ever.
bool IsRealFolder(const dirent* entry, const char* path)
{
    if (entry->d_type == DT_DIR)
        return true;
    if (entry->d_type != DT_UNKNOWN)
        return false;
    struct stat st;
    return lstat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

FindNode* OpenNode(const char* path, FindNode* parent)
{
    FindNode* node = new FindNode;
    strcpy(node->path, path);  // every caller has checked that it fits
    node->dir = opendir(path);
    node->parent = parent;
    return node;
}

}  // namespace

Larkspan::Larkspan(int count, char** vector)
    : argc(count), argv(vector), options(nullptr), outputDir(kEmpty), stdoutMode(false),
      findPattern(nullptr), findSingle(nullptr), subfolders(false), folderExt(kFolderExt),
      tempDir(kEmpty), current(nullptr), literalFile(nullptr), helpWanted(false),
      versionWanted(false), entrySkipped(false), outputError(0)
{
    currentDir[0] = 0;
    pattern[0] = 0;
    nameUpper[0] = 0;
    patternUpper[0] = 0;
    foundPath[0] = 0;
}

Larkspan::~Larkspan()
{
    FindDone(nullptr);
    delete options;
}

void Larkspan::InitOptions()
{
    options = new AnyOption();
    options->setVerbose();
    for (const OptionRow& row : OptionTable) {
        if (row.isFlag == 2)
            options->setCommandFlag(row.name, (char)row.shortChar);
        else if (row.isFlag && row.shortChar)
            options->setFlag(row.name, (char)row.shortChar);
        else if (row.isFlag)
            options->setFlag(row.name);
        else if (row.shortChar)
            options->setOption(row.name, (char)row.shortChar);
        else
            options->setOption(row.name);
    }
    options->processCommandArgs(argc, argv);
    options->processFile("options.txt");
    if (!getcwd(currentDir, sizeof currentDir))
        currentDir[0] = 0;
    options->addUsage(kBanner);
    options->addUsage(kUsage);
}

int Larkspan::ProcessArgs()
{
    for (const OptionRow& row : OptionTable) {
        if (options->getValue(row.name))
            (this->*row.handler)(const_cast<char*>(row.name));
    }
    return 1;
}

int Larkspan::Run()
{
    InitOptions();
    // A mistyped option would otherwise change what the run does without a word (a --stdout
    // that is not one writes a file): the parser has said what it did not take.
    if (options->commandErrorCount() > 0)
        return 1;
    if (!options->hasOptions()) {
        options->printUsage();
        delete options;
        options = nullptr;
        return 0;
    }
    ProcessArgs();
    if (helpWanted) {
        options->printUsage();
        return 0;
    }
    if (versionWanted) {
        fputs(kBanner, stdout);
        return 0;
    }
    options->printVerbose("Processing...\n");

    // Anything the user named that was not converted makes the run fail; a conversion that
    // fails also ends it.
    int status = 0;
    char output[PDF_MAX_PATH];
    for (int i = literalFile ? -1 : 0; i < options->getArgc(); i++) {
        char* argument = i < 0 ? literalFile : options->getArgv(i);
        void* handle = FindFirst(argument);
        if (!handle) {
            status = 1;
            continue;
        }
        bool search = findPattern != nullptr;
        int found = 0;
        entrySkipped = false;
        while (char* name = FindNext(handle)) {
            char* input = search ? foundPath : name;
            struct stat in;
            if (stat(input, &in) == 0 && !S_ISREG(in.st_mode)) {
                // A pipe would hang the run and a folder end it: only files are documents.
                fprintf(stderr, "Vardex: %s %s: not a regular file\n",
                        search ? "passed by" : "skipped", input);
                if (!search)
                    status = 1;
                continue;
            }
            found++;
            int named = CreateOutputName(output, name, 0);
            if (named < 0 && !stdoutMode) {
                fprintf(stderr, "Vardex: cannot create the output folder %s: %s\n", outputDir,
                        strerror(outputError));
                FindDone(handle);
                return 1;
            }
            // In standard-output mode the name only follows the usual path; the package does
            // not go there, so a name too long for it is no reason to skip the file.
            if (named <= 0 && !stdoutMode) {
                fprintf(stderr, "Vardex: skipped %s: the package path is too long\n", input);
                status = 1;
                continue;
            }
            struct stat out;
            if (!stdoutMode && stat(output, &out) == 0 && out.st_dev == in.st_dev &&
                out.st_ino == in.st_ino) {
                fprintf(stderr, "Vardex: skipped %s: its package would replace it\n", input);
                status = 1;
                continue;
            }
            options->printVerbose(name);
            options->printVerbose();
            if (Convert(input, stdoutMode ? nullptr : output) != 0) {
                FindDone(handle);
                return 1;
            }
        }
        if (entrySkipped)
            status = 1;
        if (search && found == 0 && !entrySkipped) {
            fprintf(stderr, "Vardex: %s: %s\n", argument,
                    IsDir(argument) ? "no PDF file in the folder" : "no file matches");
            status = 1;
        }
        FindDone(handle);
    }
    return status;
}

void Larkspan::SetOutput(char* name)
{
    outputDir = options->getValue(name);
}

void Larkspan::SetQuiet(char*)
{
    options->unsetVerbose();
}

void Larkspan::SetSubfolders(char*)
{
    subfolders = true;
}

void Larkspan::SetStdout(char*)
{
    stdoutMode = true;
    options->unsetVerbose();
}

void Larkspan::SetTempFile(char* name)
{
    tempDir = options->getValue(name);
}

void Larkspan::Opt1(char*) {}

void Larkspan::SetFile(char* name)
{
    literalFile = options->getValue(name);
}

void Larkspan::SetHelp(char*)
{
    helpWanted = true;
}

void Larkspan::SetVersion(char*)
{
    versionWanted = true;
}

char* Larkspan::FindFirst(char* argument)
{
    FindDone(nullptr);
    findSingle = nullptr;
    findPattern = nullptr;
    if (strlen(argument) >= PDF_MAX_PATH) {
        fprintf(stderr, "Vardex: skipped an argument of %zu bytes: the longest path is %d\n",
                strlen(argument), PDF_MAX_PATH - 1);
        return nullptr;
    }

    if (argument == literalFile) {
        findSingle = argument;
        return argument;
    }

    char folder[PDF_MAX_PATH];
    if (IsDir(argument)) {
        snprintf(pattern, sizeof pattern, "*.%s", folderExt);
        Upper(pattern, pattern, sizeof pattern);
        if (IsAbsolute(argument))
            strcpy(folder, argument);
        else if (!getcwd(folder, sizeof folder) ||
                 !BuildPath(folder, folder, argument, '/', sizeof folder)) {
            fprintf(stderr, "Vardex: skipped %s: the folder's path is too long\n", argument);
            return nullptr;
        }
        findPattern = pattern;
        current = OpenNode(folder, nullptr);
        return reinterpret_cast<char*>(current);
    }

    if (!strchr(argument, '*') && !strchr(argument, '?')) {
        findSingle = argument;
        return argument;
    }

    char name[PDF_MAX_PATH];
    GetFileNameFromPath(argument, name, false);
    if (strlen(name) >= sizeof pattern) {
        fprintf(stderr, "Vardex: skipped %s: the pattern is longer than %d bytes\n", argument,
                FIND_PATTERN_MAX - 1);
        return nullptr;
    }
    if (GetPathFromFileName(argument, folder, sizeof folder)) {
        // "/x*.pdf": the folder part is empty, the folder is the root.
        if (!folder[0])
            strcpy(folder, "/");
    } else if (!getcwd(folder, sizeof folder)) {
        fprintf(stderr, "Vardex: skipped %s: the current folder cannot be read\n", argument);
        return nullptr;
    }
    strcpy(pattern, name);
    findPattern = pattern;
    current = OpenNode(folder, nullptr);
    return reinterpret_cast<char*>(current);
}

char* Larkspan::FindNext(void* handle)
{
    if (!findPattern) {
        if (!findSingle)
            return nullptr;
        findSingle = nullptr;
        return static_cast<char*>(handle);
    }
    Upper(patternUpper, findPattern, sizeof patternUpper);
    while (current) {
        dirent* entry = current->dir ? readdir(current->dir) : nullptr;
        if (!entry) {
            if (!current->parent)
                return nullptr;
            FindNode* done = current;
            current = done->parent;
            if (done->dir)
                closedir(done->dir);
            delete done;
            continue;
        }
        const char* name = entry->d_name;
        if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
            continue;
        strcpy(foundPath, current->path);
        if (!MakeFullPath(foundPath, name, sizeof foundPath)) {
            fprintf(stderr, "Vardex: skipped %s in %s: the path is too long\n", name,
                    current->path);
            entrySkipped = true;
            continue;
        }
        if (subfolders && IsRealFolder(entry, foundPath)) {
            current = OpenNode(foundPath, current);
            continue;
        }
        Upper(nameUpper, name, sizeof nameUpper);
        if (wildcmp(patternUpper, nameUpper))
            return entry->d_name;
    }
    return nullptr;
}

void Larkspan::FindDone(void*)
{
    // A search stopped in the middle of a descent still holds every folder above the one
    // being read.
    while (current) {
        FindNode* node = current;
        current = node->parent;
        if (node->dir)
            closedir(node->dir);
        delete node;
    }
}

int Larkspan::CreateOutputName(char* out, char* input, int)
{
    out[0] = 0;
    char name[PDF_MAX_PATH];
    if (!MakePackageName(name, input, sizeof name))
        return 0;

    const char* folder = currentDir;
    if (outputDir && outputDir[0]) {
        if (!IsDir(outputDir) && !MakeDirectory(outputDir, &outputError))
            return -1;
        folder = outputDir;
    }

    char path[PDF_MAX_PATH];
    if (strlen(folder) >= sizeof path)
        return 0;
    strcpy(path, folder);
    if (!MakeFullPath(path, name, sizeof path))
        return 0;
    if (!IsAbsolute(path) && !BuildPath(path, currentDir, path, '/', sizeof path))
        return 0;
    strcpy(out, path);
    return 1;
}

int Larkspan::CreateInputName(char* out, char* folder, char* name)
{
    out[0] = 0;
    if (folder) {
        if (strlen(folder) >= PDF_MAX_PATH)
            return 0;
        strcpy(out, folder);
    }
    if (!MakeFullPath(out, name, PDF_MAX_PATH)) {
        out[0] = 0;
        return 0;
    }
    return 1;
}
