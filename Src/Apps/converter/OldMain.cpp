#include "Apps/converter/OldMain.h"

#include "Pdf/PdfObj.h"

char* g_pszInputFile = nullptr;

namespace {

// Names by type code; a real and any unknown code print no name.
const char* const kTypeNames[] = {
    "NULL__OBJ", "DICT_OBJ", "STRING_OBJ", "NUMBER_OBJ", "ARRAY_OBJ",
    "NAME_OBJ",  "STREAM_OBJ", "BOOL_OBJ", "INDIRECT_OBJ",
};

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
