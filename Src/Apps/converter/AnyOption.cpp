#include "Apps/converter/AnyOption.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kTrue[] = "true";
// Longest name a message echoes; a longer one is cut and followed by "...".
const size_t kMaxEchoedName = 64;

// Element counts come from int capacities; sizes are taken in 64 bits and a negative or
// absurd count is a failed allocation rather than a wrapped size.
void* AllocTable(long long count, size_t elem)
{
    if (count <= 0 || count > INT_MAX)
        return nullptr;
    return malloc((size_t)count * elem);
}

void* GrowTable(void* table, long long count, size_t elem)
{
    if (count <= 0 || count > INT_MAX)
        return nullptr;
    return realloc(table, (size_t)count * elem);
}

// On failure the table keeps its old block, which cleanup frees.
template <typename T>
bool GrowInPlace(T*& table, long long count)
{
    T* grown = (T*)GrowTable((void*)table, count, sizeof(T));
    if (!grown)
        return false;
    table = grown;
    return true;
}

[[noreturn]] void FailedAllocating()
{
    fprintf(stderr, "\nOPTIONS ERROR : Failed allocating memory\nExiting.\n");
    exit(1);
}

char* CopyString(const char* text)
{
    size_t n = strlen(text) + 1;
    char* copy = (char*)malloc(n);
    if (copy)
        memcpy(copy, text, n);
    return copy;
}

}  // namespace

// ---- construction and storage ----

AnyOption::AnyOption()
{
    init();
}

AnyOption::AnyOption(int maxOptions)
{
    init(maxOptions, maxOptions);
}

AnyOption::AnyOption(int maxOptions, int maxCharOptions)
{
    init(maxOptions, maxCharOptions);
}

AnyOption::~AnyOption()
{
    cleanup();
}

void AnyOption::init()
{
    init(10, 10);
}

void AnyOption::init(int maxOptions, int maxCharOptions)
{
    argCount = 0;
    argValues = nullptr;
    optionFileName = nullptr;
    programName = nullptr;
    argIndex = nullptr;
    argIndexCount = 0;
    argIndexLimit = 0;

    longCapacity = maxOptions;
    longNames = nullptr;
    longKinds = nullptr;
    longSlot = nullptr;
    longCount = 0;

    charCapacity = maxCharOptions;
    shortChars = nullptr;
    charKinds = nullptr;
    charSlot = nullptr;
    charCount = 0;

    values = nullptr;
    slotCount = 0;

    usageLines = nullptr;
    usageCapacity = 3;
    usageCount = 0;

    commandSet = false;
    fileSet = false;
    tablesReady = false;
    posix = true;
    verbose = false;

    optionPrefix = '-';
    longPrefix[0] = '-';
    longPrefix[1] = '-';
    longPrefix[2] = 0;
    fileCommentCharSetting = 0;
    fileDelimiterCharSetting = '#';
    equalsChar = '=';
    commentChar = '#';
    delimiterChar = ':';
    endOfLineChar = '\n';
    blankChar = ' ';
    terminatorChar = '\0';

    valuesReady = false;
    usageOnce = true;
    hasArguments = false;
    autoUsage = false;
    commandErrors = 0;

    if (!alloc())
        FailedAllocating();
}

bool AnyOption::alloc()
{
    if (tablesReady)
        return true;
    long long longSize = (long long)longCapacity + 1;
    longNames = (const char**)AllocTable(longSize, sizeof(const char*));
    longKinds = (int*)AllocTable(longSize, sizeof(int));
    longSlot = (int*)AllocTable(longSize, sizeof(int));
    if (!longNames || !longKinds || !longSlot)
        return false;
    for (long long i = 0; i < longSize; i++) {
        longNames[i] = nullptr;
        longKinds[i] = KIND_NONE;
        longSlot[i] = -1;
    }
    tablesReady = true;

    long long charSize = (long long)charCapacity + 1;
    shortChars = (char*)AllocTable(charSize, 1);
    charKinds = (int*)AllocTable(charSize, sizeof(int));
    charSlot = (int*)AllocTable(charSize, sizeof(int));
    if (!shortChars || !charKinds || !charSlot) {
        tablesReady = false;
        return false;
    }
    for (long long i = 0; i < charSize; i++) {
        shortChars[i] = '0';
        charKinds[i] = KIND_NONE;
        charSlot[i] = -1;
    }

    long long usageSize = (long long)usageCapacity + 1;
    usageLines = (const char**)AllocTable(usageSize, sizeof(const char*));
    if (!usageLines) {
        tablesReady = false;
        return false;
    }
    for (long long i = 0; i < usageSize; i++)
        usageLines[i] = nullptr;
    return true;
}

bool AnyOption::doubleOptStorage()
{
    long long size = (long long)longCapacity * 2 + 1;
    if (!GrowInPlace(longNames, size) || !GrowInPlace(longKinds, size) || !GrowInPlace(longSlot, size))
        return false;
    for (long long i = longCapacity; i < size; i++) {
        longNames[i] = nullptr;
        longKinds[i] = KIND_NONE;
        longSlot[i] = -1;
    }
    longCapacity *= 2;
    return true;
}

bool AnyOption::doubleCharStorage()
{
    long long size = (long long)charCapacity * 2 + 1;
    if (!GrowInPlace(shortChars, size) || !GrowInPlace(charKinds, size) || !GrowInPlace(charSlot, size))
        return false;
    for (long long i = charCapacity; i < size; i++) {
        shortChars[i] = '0';
        charKinds[i] = KIND_NONE;
        charSlot[i] = -1;
    }
    charCapacity *= 2;
    return true;
}

bool AnyOption::doubleUsageStorage()
{
    long long size = (long long)usageCapacity * 2 + 1;
    if (!GrowInPlace(usageLines, size))
        return false;
    for (long long i = usageCapacity; i < size; i++)
        usageLines[i] = nullptr;
    usageCapacity *= 2;
    return true;
}

bool AnyOption::valueStoreOK()
{
    if (!valuesReady && slotCount > 0) {
        values = (char**)AllocTable(slotCount, sizeof(char*));
        if (values) {
            for (int i = 0; i < slotCount; i++)
                values[i] = nullptr;
            valuesReady = true;
        }
    }
    return valuesReady;
}

void AnyOption::processOptions()
{
    valueStoreOK();
}

void AnyOption::cleanup()
{
    free(longNames);
    free(longKinds);
    free(longSlot);
    free(shortChars);
    free(charKinds);
    free(charSlot);
    free(usageLines);
    if (values) {
        for (int i = 0; i < slotCount; i++)
            free(values[i]);
    }
    free(values);
    free(argIndex);
    longNames = nullptr;
    longKinds = nullptr;
    longSlot = nullptr;
    shortChars = nullptr;
    charKinds = nullptr;
    charSlot = nullptr;
    usageLines = nullptr;
    values = nullptr;
    argIndex = nullptr;
    tablesReady = false;
    valuesReady = false;
}

// ---- settings ----

void AnyOption::setCommandPrefixChar(char prefix)
{
    optionPrefix = prefix;
}

void AnyOption::setCommandLongPrefix(const char* prefix)
{
    // Only the first two characters count; the caller's string is left as it is.
    if (!prefix)
        return;
    size_t n = strlen(prefix);
    if (n > 2)
        n = 2;
    memcpy(longPrefix, prefix, n);
    longPrefix[n] = terminatorChar;
}

void AnyOption::setFileCommentChar(char c)
{
    fileCommentCharSetting = c;
}

void AnyOption::setFileDelimiterChar(char c)
{
    fileDelimiterCharSetting = c;
}

void AnyOption::noPOSIX()
{
    posix = false;
}

bool AnyOption::POSIX()
{
    return posix;
}

void AnyOption::setVerbose()
{
    verbose = true;
}

void AnyOption::unsetVerbose()
{
    verbose = false;
}

void AnyOption::autoUsagePrint(bool on)
{
    autoUsage = on;
}

// ---- registration ----

void AnyOption::registerEntry(const char* name, bool withName, char c, bool withChar, int kind)
{
    if (withName)
        addOption(name, kind);
    if (withChar)
        addOption(c, kind);
    // A slot registered after the values were allocated still gets its place.
    if (valuesReady) {
        char** grown = (char**)GrowTable(values, (long long)slotCount + 1, sizeof(char*));
        if (!grown) {
            if (withName)
                addOptionError(name);
            addOptionError(c);
        }
        values = grown;
        values[slotCount] = nullptr;
    }
    slotCount++;
}

void AnyOption::addOption(const char* name, int kind)
{
    if (!name)
        return;
    if (longCount >= longCapacity && !doubleOptStorage())
        addOptionError(name);
    longNames[longCount] = name;
    longKinds[longCount] = kind;
    longSlot[longCount] = slotCount;
    longCount++;
}

void AnyOption::addOption(char c, int kind)
{
    if (!posix) {
        if (verbose)
            fprintf(stderr, "Ignoring the option character \"%c\" ( POSIX options are turned off )\n", c);
        return;
    }
    if (charCount >= charCapacity && !doubleCharStorage())
        addOptionError(c);
    shortChars[charCount] = c;
    charKinds[charCount] = kind;
    charSlot[charCount] = slotCount;
    charCount++;
}

void AnyOption::addOptionError(const char* name)
{
    fprintf(stderr, "\nOPTIONS ERROR : Failed allocating extra memory \nWhile adding the option : \"%s\"\nExiting.\n\n", name);
    exit(1);
}

void AnyOption::addOptionError(char c)
{
    fprintf(stderr, "\nOPTIONS ERROR : Failed allocating extra memory \nWhile adding the option: \"%c\"\nExiting.\n\n", c);
    exit(1);
}

void AnyOption::addUsageError(const char* line)
{
    fprintf(stderr, "\nOPTIONS ERROR : Failed allocating extra memory \nWhile adding the usage/help  : \"%s\"\nExiting.\n\n", line);
    exit(1);
}

void AnyOption::setOption(const char* name) { registerEntry(name, true, 0, false, KIND_OPTION); }
void AnyOption::setOption(char c) { registerEntry(nullptr, false, c, true, KIND_OPTION); }
void AnyOption::setOption(const char* name, char c) { registerEntry(name, true, c, true, KIND_OPTION); }
void AnyOption::setCommandOption(const char* name) { registerEntry(name, true, 0, false, KIND_COMMAND_OPTION); }
void AnyOption::setCommandOption(char c) { registerEntry(nullptr, false, c, true, KIND_COMMAND_OPTION); }
void AnyOption::setCommandOption(const char* name, char c) { registerEntry(name, true, c, true, KIND_COMMAND_OPTION); }
void AnyOption::setFileOption(const char* name) { registerEntry(name, true, 0, false, KIND_FILE_OPTION); }
void AnyOption::setFileOption(char c) { registerEntry(nullptr, false, c, true, KIND_FILE_OPTION); }
void AnyOption::setFileOption(const char* name, char c) { registerEntry(name, true, c, true, KIND_FILE_OPTION); }
void AnyOption::setFlag(const char* name) { registerEntry(name, true, 0, false, KIND_FLAG); }
void AnyOption::setFlag(char c) { registerEntry(nullptr, false, c, true, KIND_FLAG); }
void AnyOption::setFlag(const char* name, char c) { registerEntry(name, true, c, true, KIND_FLAG); }
void AnyOption::setCommandFlag(const char* name) { registerEntry(name, true, 0, false, KIND_COMMAND_FLAG); }
void AnyOption::setCommandFlag(char c) { registerEntry(nullptr, false, c, true, KIND_COMMAND_FLAG); }
void AnyOption::setCommandFlag(const char* name, char c) { registerEntry(name, true, c, true, KIND_COMMAND_FLAG); }
void AnyOption::setFileFlag(const char* name) { registerEntry(name, true, 0, false, KIND_FILE_FLAG); }
void AnyOption::setFileFlag(char c) { registerEntry(nullptr, false, c, true, KIND_FILE_FLAG); }
void AnyOption::setFileFlag(const char* name, char c) { registerEntry(name, true, c, true, KIND_FILE_FLAG); }

// ---- lookups ----

int AnyOption::findLong(const char* name, int kindA, int kindB)
{
    for (int i = 0; i < longCount; i++) {
        if (strcmp(longNames[i], name) == 0 &&
            (kindA == KIND_NONE || longKinds[i] == kindA || longKinds[i] == kindB))
            return i;
    }
    return -1;
}

int AnyOption::findChar(char c, int kindA, int kindB)
{
    for (int i = 0; i < charCount; i++) {
        if (shortChars[i] == c &&
            (kindA == KIND_NONE || charKinds[i] == kindA || charKinds[i] == kindB))
            return i;
    }
    return -1;
}

int AnyOption::commandCharSlot(char c)
{
    int i = findChar(c, KIND_OPTION, KIND_COMMAND_OPTION);
    return i < 0 ? -1 : charSlot[i];
}

void AnyOption::setSlot(int slot, const char* value)
{
    if (!valueStoreOK() || slot < 0 || slot >= slotCount || !value)
        return;
    char* copy = CopyString(value);
    if (!copy)
        FailedAllocating();
    free(values[slot]);
    values[slot] = copy;
}

char* AnyOption::getValue(const char* name)
{
    if (!valueStoreOK() || !name)
        return nullptr;
    int i = findLong(name, KIND_NONE, KIND_NONE);
    return i < 0 ? nullptr : values[longSlot[i]];
}

char* AnyOption::getValue(char c)
{
    if (!valueStoreOK())
        return nullptr;
    int i = findChar(c, KIND_NONE, KIND_NONE);
    return i < 0 ? nullptr : values[charSlot[i]];
}

bool AnyOption::getFlag(const char* name)
{
    return findFlag(getValue(name));
}

bool AnyOption::getFlag(char c)
{
    return findFlag(getValue(c));
}

bool AnyOption::findFlag(const char* value)
{
    return value && strcmp(value, kTrue) == 0;
}

bool AnyOption::setValue(const char* name, const char* value)
{
    if (!valueStoreOK() || !name)
        return false;
    int i = findLong(name, KIND_NONE, KIND_NONE);
    if (i < 0)
        return false;
    setSlot(longSlot[i], value);
    return true;
}

bool AnyOption::setValue(char c, const char* value)
{
    if (!valueStoreOK())
        return false;
    int i = findChar(c, KIND_NONE, KIND_NONE);
    if (i < 0)
        return false;
    setSlot(charSlot[i], value);
    return true;
}

bool AnyOption::setFlagOn(const char* name)
{
    return setValue(name, kTrue);
}

bool AnyOption::setFlagOn(char c)
{
    return setValue(c, kTrue);
}

int AnyOption::getArgc()
{
    return argIndexCount;
}

char* AnyOption::getArgv(int index)
{
    if (index < 0 || index >= argIndexCount)
        return nullptr;
    return argValues[argIndex[index]];
}

bool AnyOption::hasOptions()
{
    return hasArguments;
}

int AnyOption::commandErrorCount()
{
    return commandErrors;
}

bool AnyOption::CommandSet()
{
    return commandSet;
}

bool AnyOption::FileSet()
{
    return fileSet;
}

// ---- command line ----

void AnyOption::useCommandArgs(int argc, char** argv)
{
    argCount = argv ? argc : 0;
    argValues = argv;
    commandSet = true;
    programName = argCount > 0 ? argv[0] : nullptr;
    hasArguments = argCount > 1;
}

void AnyOption::processCommandArgs(int argc, char** argv)
{
    useCommandArgs(argc, argv);
    processCommandArgs();
}

void AnyOption::processCommandArgs(int maxArgs)
{
    argIndexLimit = maxArgs;
    processCommandArgs();
}

void AnyOption::processCommandArgs(int argc, char** argv, int maxArgs)
{
    useCommandArgs(argc, argv);
    processCommandArgs(maxArgs);
}

void AnyOption::processCommandArgs()
{
    if (!(valueStoreOK() && CommandSet()))
        return;
    if (argIndexLimit <= 0)
        argIndexLimit = argCount;
    free(argIndex);
    argIndexCount = 0;
    argIndex = (int*)AllocTable((long long)argIndexLimit + 1, sizeof(int));
    if (!argIndex)
        FailedAllocating();

    size_t longLen = strlen(longPrefix);
    for (int i = 1; i < argCount; i++) {
        const char* arg = argValues[i];
        if (!arg)
            continue;
        // A value option given last has no value to take.
        bool last = i >= argCount - 1;
        if (longLen > 0 && strncmp(arg, longPrefix, longLen) == 0) {
            int k = parseGNU(arg + longLen);
            if (k >= 0 && !last)
                setSlot(longSlot[k], argValues[++i]);
            else if (k >= 0)
                missingValue(arg);
        } else if (arg[0] == optionPrefix && arg[0] != 0) {
            if (posix) {
                char c = parsePOSIX(arg + 1);
                if (c != '0' && !last)
                    setSlot(commandCharSlot(c), argValues[++i]);
                else if (c != '0')
                    missingValue(arg);
            } else {
                int k = parseGNU(arg + 1);
                if (k >= 0 && !last)
                    setSlot(longSlot[k], argValues[++i]);
                else if (k >= 0)
                    missingValue(arg);
            }
        } else if (argIndexCount < argIndexLimit) {
            argIndex[argIndexCount++] = i;
        } else {
            if (verbose)
                fprintf(stderr, "Ignoring extra argument: %s\n", arg);
            printAutoUsage();
        }
    }
}

void AnyOption::reportName(const char* prefix, const char* text)
{
    if (!verbose)
        return;
    size_t len = strlen(text);
    if (len > kMaxEchoedName)
        fprintf(stderr, "%s%.*s...\n", prefix, (int)kMaxEchoedName, text);
    else
        fprintf(stderr, "%s%s\n", prefix, text);
}

void AnyOption::reportUnknown(const char* prefix, const char* text)
{
    commandErrors++;
    reportName(prefix, text);
    printAutoUsage();
}

void AnyOption::missingValue(const char* arg)
{
    commandErrors++;
    reportName("Missing value of command argument option : ", arg);
    printAutoUsage();
}

int AnyOption::parseGNU(const char* text)
{
    const char* eq = strchr(text, equalsChar);
    if (!eq || eq == text)
        return matchOpt(text);

    size_t nameLen = (size_t)(eq - text);
    char* name = (char*)malloc(nameLen + 1);
    if (!name)
        FailedAllocating();
    memcpy(name, text, nameLen);
    name[nameLen] = terminatorChar;
    int k = matchOpt(name);
    free(name);
    if (k >= 0)
        setSlot(longSlot[k], eq + 1);
    else
        reportUnknown("Unknown command argument option : ", text);
    return -1;
}

int AnyOption::matchOpt(const char* name)
{
    for (int i = 0; i < longCount; i++) {
        if (strcmp(longNames[i], name) != 0)
            continue;
        if (longKinds[i] == KIND_OPTION || longKinds[i] == KIND_COMMAND_OPTION)
            return i;
        if (longKinds[i] == KIND_FLAG || longKinds[i] == KIND_COMMAND_FLAG) {
            setSlot(longSlot[i], kTrue);
            return -1;
        }
    }
    reportUnknown("Unknown command argument option : ", name);
    return -1;
}

char AnyOption::parsePOSIX(const char* text)
{
    for (size_t i = 0; text[i]; i++) {
        char c = text[i];
        if (!matchChar(c))
            continue;
        if (text[i + 1] == 0)
            return c;
        const char* rest = text + i + 1;
        while (*rest == blankChar || *rest == equalsChar)
            rest++;
        setSlot(commandCharSlot(c), rest);
        return '0';
    }
    return '0';
}

bool AnyOption::matchChar(char c)
{
    for (int i = 0; i < charCount; i++) {
        if (shortChars[i] != c)
            continue;
        if (charKinds[i] == KIND_OPTION || charKinds[i] == KIND_COMMAND_OPTION)
            return true;
        if (charKinds[i] == KIND_FLAG || charKinds[i] == KIND_COMMAND_FLAG) {
            setFlagOn(c);
            return false;
        }
    }
    char text[2] = {c, 0};
    reportUnknown("Unknown command argument option : ", text);
    return false;
}

// ---- option file ----

void AnyOption::useFiileName(const char* name)
{
    optionFileName = name;
    fileSet = true;
}

bool AnyOption::processFile(const char* filename)
{
    useFiileName(filename);
    return processFile();
}

bool AnyOption::processFile()
{
    if (!(valueStoreOK() && FileSet()))
        return false;
    char* buffer = readFile();
    if (!buffer)
        return false;
    return consumeFile(buffer);
}

char* AnyOption::readFile()
{
    return readFile(optionFileName);
}

char* AnyOption::readFile(const char* filename)
{
    if (!filename)
        return nullptr;
    FILE* fp = fopen(filename, "rb");
    if (!fp)
        return nullptr;
    size_t capacity = 4096;
    size_t length = 0;
    char* buffer = (char*)malloc(capacity);
    while (buffer) {
        size_t got = fread(buffer + length, 1, capacity - 1 - length, fp);
        length += got;
        if (got == 0 || length < capacity - 1)
            break;
        char* grown = capacity > ((size_t)INT_MAX) / 2 ? nullptr : (char*)realloc(buffer, capacity * 2);
        if (!grown) {
            free(buffer);
            buffer = nullptr;
            break;
        }
        buffer = grown;
        capacity *= 2;
    }
    fclose(fp);
    if (buffer)
        buffer[length] = terminatorChar;
    return buffer;
}

bool AnyOption::consumeFile(char* buffer)
{
    if (!buffer)
        return false;
    // Each line ends with endOfLineChar; text after the last one is not a line.
    char* line = buffer;
    for (char* end = strchr(line, endOfLineChar); end; end = strchr(line, endOfLineChar)) {
        int length = (int)(end - line);
        if (length > 0 && line[0] != commentChar)
            processLine(line, length);
        line = end + 1;
    }
    free(buffer);
    return true;
}

void AnyOption::processLine(const char* line, int length)
{
    char* copy = (char*)malloc((size_t)length + 1);
    if (!copy)
        FailedAllocating();
    memcpy(copy, line, (size_t)length);
    copy[length] = terminatorChar;

    char* delimiter = nullptr;
    if (length >= 3 && copy[0] != delimiterChar && copy[length - 1] != delimiterChar)
        delimiter = strchr(copy, delimiterChar);
    if (delimiter) {
        // "name : value" and "name:value" alike: split at the first delimiter, both trimmed.
        *delimiter = terminatorChar;
        valuePairs(copy, delimiter + 1);
    } else {
        justValue(copy);
    }
    free(copy);
}

void AnyOption::valuePairs(char* name, char* value)
{
    name = chomp(name);
    value = chomp(value);
    int slot = fileSlot(name, KIND_OPTION, KIND_FILE_OPTION);
    if (slot >= 0)
        setSlot(slot, value);
}

void AnyOption::justValue(char* name)
{
    name = chomp(name);
    int slot = fileSlot(name, KIND_FLAG, KIND_FILE_FLAG);
    if (slot >= 0)
        setSlot(slot, kTrue);
}

// A one-character name in the file is the character option, anything longer the long name.
int AnyOption::fileSlot(const char* name, int kindA, int kindB)
{
    int slot = -1;
    if (strlen(name) == 1) {
        int i = findChar(name[0], kindA, kindB);
        if (i >= 0)
            slot = charSlot[i];
    } else {
        int i = findLong(name, kindA, kindB);
        if (i >= 0)
            slot = longSlot[i];
    }
    if (slot < 0)
        reportName("Unknown option in resourcefile : ", name);
    return slot;
}

// ---- usage and messages ----

void AnyOption::addUsage(const char* line)
{
    if (!line)
        return;
    if (usageCount >= usageCapacity && !doubleUsageStorage())
        addUsageError(line);
    usageLines[usageCount++] = line;
}

void AnyOption::printUsage()
{
    if (!usageOnce)
        return;
    usageOnce = false;
    fputc('\n', stdout);
    for (int i = 0; i < usageCount; i++)
        fprintf(stdout, "%s\n", usageLines[i]);
    fputc('\n', stdout);
}

void AnyOption::printAutoUsage()
{
    if (autoUsage)
        printUsage();
}

void AnyOption::printVerbose(const char* text)
{
    if (verbose && text)
        fputs(text, stdout);
}

void AnyOption::printVerbose(char c)
{
    if (verbose)
        fputc(c, stdout);
}

void AnyOption::printVerbose()
{
    if (verbose)
        fputc('\n', stdout);
}

char* AnyOption::chomp(char* text)
{
    if (!text)
        return text;
    while (*text == blankChar)
        text++;
    size_t n = strlen(text);
    while (n > 0 && text[n - 1] == blankChar)
        text[--n] = terminatorChar;
    return text;
}
