#include "Apps/converter/OldMain.h"

#include <cstdlib>
#include <ftw.h>
#include <sys/stat.h>

#include "Apps/converter/Larkspan.h"
#include "Pdf/FileAccess.h"
#include "Pdf/PdfObj.h"

char* g_pszInputFile = nullptr;

namespace {

// Names by type code; a real and any unknown code print no name.
const char* const kTypeNames[] = {
    "NULL__OBJ", "DICT_OBJ", "STRING_OBJ", "NUMBER_OBJ", "ARRAY_OBJ",
    "NAME_OBJ",  "STREAM_OBJ", "BOOL_OBJ", "INDIRECT_OBJ",
};

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*)
{
    remove(path);
    return 0;
}

// A fresh folder only this process can enter, under TMPDIR (or /tmp). Its name leaves room
// for the separator the page tree appends. False when it cannot be made.
bool MakePrivateFolder(char* folder, size_t size)
{
    const char* base = getenv("TMPDIR");
    if (!base || !base[0])
        base = "/tmp";
    int n = snprintf(folder, size, "%s/VardexXXXXXX", base);
    if (n < 0 || (size_t)n + 1 >= size || !mkdtemp(folder)) {
        folder[0] = 0;
        return false;
    }
    return true;
}

}  // namespace

void DumpObjects(FILE* out, PdfObj* const* table, uint32_t count)
{
    bool any = false;
    for (uint32_t i = 0; i < count; i++) {
        PdfObj* obj = table[i];
        if (!obj)
            continue;
        if (!any)
            fputs("<!--\n", out);
        any = true;
        int code = obj->Type();
        const char* name =
            (code >= 0 && code < (int)(sizeof kTypeNames / sizeof kTypeNames[0])) ? kTypeNames[code]
                                                                                : "";
        fprintf(out, "OBJECT %u : TYPE %s\n\n", (unsigned)i, name);
    }
    if (any)
        fputs("\n-->\n", out);
}

void DumpLiveObjects(FILE* out)
{
    uint32_t count = PdfObj::rcnt < (uint32_t)PDF_REGISTRY_SLOTS ? PdfObj::rcnt
                                                                 : (uint32_t)PDF_REGISTRY_SLOTS;
    DumpObjects(out, PdfObj::refTable, count);
}

int OpenFile()
{
    return 0;
}

int oldmain(int argc, char** argv)
{
    char* output = argc > 2 ? argv[2] : nullptr;
    int result = -1;
    char folder[PDF_MAX_PATH];
    if (!g_pszInputFile) {
        fputs("ERROR: Unable to open read PDF\n", stderr);
    } else if (!MakePrivateFolder(folder, sizeof folder)) {
        fputs("ERROR: Unable to create a temporary folder\n", stderr);
    } else {
        Larkspan app(argc, argv);
        app.tempDir = folder;
        if (app.Convert(g_pszInputFile, output) != 0)
            fputs("ERROR: Unable to open read PDF\n", stderr);
        else
            result = 0;
        nftw(folder, RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    }
    // With the package on standard output the dump would land after its last byte and
    // spoil it: it goes to standard error then.
    if (result == 0)
        DumpLiveObjects(output ? stdout : stderr);
    free(g_pszInputFile);
    g_pszInputFile = nullptr;
    return result;
}
