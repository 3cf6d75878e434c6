// The command-line converter: its options, the search that turns each argument (a file, a
// folder or a wildcard pattern) into PDF file names, the naming of each package and the loop
// that converts them one by one.
#ifndef VARDEX_APPS_CONVERTER_LARKSPAN_H
#define VARDEX_APPS_CONVERTER_LARKSPAN_H

#include <dirent.h>

#include "Pdf/FileAccess.h"

class AnyOption;

// One open folder of a running search.
struct FindNode {
    char path[PDF_MAX_PATH];
    DIR* dir;  // null when the folder could not be opened: it reads as empty
    FindNode* parent;
};

enum { FIND_PATTERN_MAX = 200 };

class Larkspan {
public:
    Larkspan(int argc, char** argv);
    ~Larkspan();
    Larkspan(const Larkspan&) = delete;
    Larkspan& operator=(const Larkspan&) = delete;

    // 0 when every file named or found was converted, 1 when one was not or when the command
    // line held an unknown option or an option without its value (nothing is converted
    // then; -h and -v convert nothing either, with status 0): an argument that
    // could not be searched, a search that found nothing, an entry, input or package path
    // that was skipped (each says why on standard error), or a conversion that failed, which
    // also ends the loop. An output folder that cannot be created ends it as well. Entries of
    // a search that are not regular files (folders, pipes, devices) are passed by with a
    // message; such a file named as an argument is skipped and fails the run.
    int Run();
    void InitOptions();

    void SetOutput(char* name);
    void SetQuiet(char* name);
    void SetSubfolders(char* name);
    void SetStdout(char* name);
    void SetTempFile(char* name);
    void Opt1(char* name);
    // --file PATH: PATH is converted as the one file it names, before the other arguments;
    // a '*' or '?' in it, or a folder of that name, is never searched.
    void SetFile(char* name);
    // -h/--help and -v/--version, of the command line only: the usage text or the banner
    // instead of converting anything.
    void SetHelp(char* name);
    void SetVersion(char* name);

    // A search over one argument. FindFirst returns the handle (null when the argument cannot
    // be searched: it is reported on standard error); FindNext gives the next bare name (the
    // argument itself for a single file) or null; FindDone releases every open folder.
    char* FindFirst(char* argument);
    char* FindNext(void* handle);
    void FindDone(void* handle);

    // `out` (PDF_MAX_PATH bytes) := the package path for the input file `input`, creating the
    // output folder on first use. 1; 0 when the path does not fit, -1 when the output folder
    // is not there and cannot be created (`out` is then empty, the reason in outputError).
    int CreateOutputName(char* out, char* input, int unused);
    int ProcessArgs();
    int CreateInputName(char* out, char* folder, char* name);

    // Converts one PDF into one package at `output` (null: standard output). 0, or -1 with a
    // one-line reason on standard error.
    int Convert(char* input, char* output);

    int argc;
    char** argv;
    AnyOption* options;
    char* outputDir;
    char currentDir[PDF_MAX_PATH];
    bool stdoutMode;
    char* findPattern;
    char* findSingle;
    bool subfolders;
    char* folderExt;
    char* tempDir;
    char pattern[FIND_PATTERN_MAX];
    char nameUpper[PDF_MAX_PATH];
    char patternUpper[PDF_MAX_PATH];
    FindNode* current;
    char* literalFile;  // the value of --file; null when not given
    bool helpWanted;
    bool versionWanted;

private:
    // The input path of the name FindNext just gave, built aside so that it is known to fit.
    char foundPath[PDF_MAX_PATH];
    // Set when the running search passed by an entry whose path does not fit.
    bool entrySkipped;
    // Why CreateOutputName could not make the output folder (an errno value).
    int outputError;
};

#endif
