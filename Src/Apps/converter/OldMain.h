// The older single-file driver: converts the one PDF named by `g_pszInputFile`, then lists
// every PDF object still registered, which makes it a leak check of a whole conversion.
#ifndef VARDEX_APPS_CONVERTER_OLDMAIN_H
#define VARDEX_APPS_CONVERTER_OLDMAIN_H

#include <cstdint>
#include <cstdio>

class PdfObj;

// The PDF to convert: a heap string (malloc) that oldmain frees and clears at its end.
extern char* g_pszInputFile;

// Converts `g_pszInputFile` into a package at argv[2] (standard output when argc is 2 or
// less), then dumps the live objects. 0, or -1 when the PDF cannot be loaded.
int oldmain(int argc, char** argv);

int OpenFile();

// Writes the objects held in slots 0 .. count-1 of `table` as one markup comment, one
// "OBJECT <slot> : TYPE <name>" entry each; nothing at all when every slot is empty.
void DumpObjects(FILE* out, PdfObj* const* table, uint32_t count);

// DumpObjects over the object registry, up to its cursor.
void DumpLiveObjects(FILE* out);

#endif
