// Parser of command-line options and of an option file ("name : value" lines, bare names
// for flags, '#' comment lines). Options have a long name, a one-character name or both;
// each registration takes one value slot shared by its name and character. A set flag has
// the value "true". Values are the parser's own heap strings, valid while it lives.
//
// Diagnostics (unknown options, missing values, extra arguments) go to standard error while
// the verbose flag is set, so that they never mix with a package written to standard output;
// a name they echo is cut to a few dozen bytes. The usage text and printVerbose go to
// standard output.
#ifndef VARDEX_APPS_CONVERTER_ANYOPTION_H
#define VARDEX_APPS_CONVERTER_ANYOPTION_H

class AnyOption {
public:
    // Kinds of a registered name or character: where it may appear and whether it has a value.
    enum {
        KIND_NONE = 0,
        KIND_OPTION = 1,          // value; command line and file
        KIND_COMMAND_OPTION = 2,  // value; command line only
        KIND_FILE_OPTION = 3,     // value; file only
        KIND_FLAG = 4,            // flag; command line and file
        KIND_COMMAND_FLAG = 5,    // flag; command line only
        KIND_FILE_FLAG = 6,       // flag; file only
    };

    AnyOption();
    explicit AnyOption(int maxOptions);
    AnyOption(int maxOptions, int maxCharOptions);
    ~AnyOption();
    AnyOption(const AnyOption&) = delete;
    AnyOption& operator=(const AnyOption&) = delete;

    // Settings.
    void setCommandPrefixChar(char prefix);
    void setCommandLongPrefix(const char* prefix);
    void setFileCommentChar(char c);
    void setFileDelimiterChar(char c);
    void noPOSIX();
    bool POSIX();
    void setVerbose();
    // Progress output off once the options are known (quiet and standard-output modes).
    void unsetVerbose();
    void autoUsagePrint(bool on);

    // Registration; the names are the caller's strings and must outlive the parser. All of it
    // comes before the first parse or lookup.
    void setOption(const char* name);
    void setOption(char c);
    void setOption(const char* name, char c);
    void setCommandOption(const char* name);
    void setCommandOption(char c);
    void setCommandOption(const char* name, char c);
    void setFileOption(const char* name);
    void setFileOption(char c);
    void setFileOption(const char* name, char c);
    void setFlag(const char* name);
    void setFlag(char c);
    void setFlag(const char* name, char c);
    void setCommandFlag(const char* name);
    void setCommandFlag(char c);
    void setCommandFlag(const char* name, char c);
    void setFileFlag(const char* name);
    void setFileFlag(char c);
    void setFileFlag(const char* name, char c);

    // Input.
    void useCommandArgs(int argc, char** argv);
    void useFiileName(const char* name);
    void processOptions();
    void processCommandArgs();
    void processCommandArgs(int maxArgs);
    void processCommandArgs(int argc, char** argv);
    void processCommandArgs(int argc, char** argv, int maxArgs);
    // True when the file was read; a missing file changes nothing.
    bool processFile();
    bool processFile(const char* filename);
    // The whole file and a terminator in a new buffer (free), or null.
    char* readFile();
    char* readFile(const char* filename);
    // Processes the lines of a buffer from readFile and frees it.
    bool consumeFile(char* buffer);

    // Results.
    char* getValue(const char* name);
    char* getValue(char c);
    bool getFlag(const char* name);
    bool getFlag(char c);
    bool findFlag(const char* value);
    bool setValue(const char* name, const char* value);
    bool setValue(char c, const char* value);
    bool setFlagOn(const char* name);
    bool setFlagOn(char c);
    int getArgc();
    char* getArgv(int index);
    bool hasOptions();
    // Unknown options and value options without their value met on the command line (each
    // reported while verbose); the option file's unknown lines do not count.
    int commandErrorCount();
    bool CommandSet();
    bool FileSet();

    // Usage and messages.
    void addUsage(const char* line);
    void printUsage();
    void printAutoUsage();
    void printVerbose(const char* text);
    void printVerbose(char c);
    void printVerbose();
    char* chomp(char* text);

private:
    void init();
    void init(int maxOptions, int maxCharOptions);
    bool alloc();
    bool doubleOptStorage();
    bool doubleCharStorage();
    bool doubleUsageStorage();
    bool valueStoreOK();
    void cleanup();

    void registerEntry(const char* name, bool withName, char c, bool withChar, int kind);
    void addOption(const char* name, int kind);
    void addOption(char c, int kind);
    void addOptionError(const char* name);
    void addOptionError(char c);
    void addUsageError(const char* line);

    int findLong(const char* name, int kindA, int kindB);
    int findChar(char c, int kindA, int kindB);
    int commandCharSlot(char c);
    void setSlot(int slot, const char* value);
    void reportUnknown(const char* prefix, const char* text);
    void reportName(const char* prefix, const char* text);
    void missingValue(const char* arg);

    int parseGNU(const char* text);
    int matchOpt(const char* name);
    char parsePOSIX(const char* text);
    bool matchChar(char c);
    void processLine(const char* line, int length);
    void valuePairs(char* name, char* value);
    void justValue(char* name);
    int fileSlot(const char* name, int kindA, int kindB);

    int argCount;
    char** argValues;
    const char* optionFileName;
    char* programName;
    int* argIndex;
    int argIndexCount;
    int argIndexLimit;

    int longCapacity;
    const char** longNames;
    int* longKinds;
    int* longSlot;
    int longCount;

    int charCapacity;
    char* shortChars;
    int* charKinds;
    int* charSlot;
    int charCount;

    char** values;
    int slotCount;

    const char** usageLines;
    int usageCapacity;
    int usageCount;

    bool commandSet;
    bool fileSet;
    bool tablesReady;
    bool posix;
    bool verbose;

    char optionPrefix;
    char longPrefix[3];
    char fileCommentCharSetting;
    char fileDelimiterCharSetting;
    char equalsChar;
    char commentChar;
    char delimiterChar;
    char endOfLineChar;
    char blankChar;
    char terminatorChar;

    bool valuesReady;
    bool usageOnce;
    bool hasArguments;
    bool autoUsage;
    int commandErrors;
};

#endif
