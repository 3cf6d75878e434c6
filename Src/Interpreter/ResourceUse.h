// The records through which the interpreter tells the package writer what each page uses:
// extracted files by object number, built-in resources by id, inline-image files by path.
// Each page names a resource at most once, however often it draws it.
#ifndef VARDEX_INTERPRETER_RESOURCEUSE_H
#define VARDEX_INTERPRETER_RESOURCEUSE_H

#include "Pdf/FileAccess.h"
#include "Pdf/XGE_List.h"
#include "Xps/InternalResource.h"

// Images, soft masks and font files, in the page tree's `resources` list.
struct ResourceRecord {
    int page;    // 0-based
    int objNum;
};

// Built-in resources, in `iResources`.
struct IResourceRecord {
    int page;
    InternalResource id;
};

// Inline-image files, in `inlineResources`.
struct InlineRecord {
    int page;
    char path[PDF_MAX_PATH];  // zero-terminated
};

static_assert(sizeof(ResourceRecord) == 8, "the package writer reads 8-byte records");
static_assert(sizeof(IResourceRecord) == 8, "the package writer reads 8-byte records");
static_assert(sizeof(InlineRecord) == 4 + PDF_MAX_PATH, "the package writer reads 264-byte records");

// Each returns the record for {page, key}, found or added; null when the list is missing, its
// records are not of this kind, or it cannot grow.
ResourceRecord* AddResource(XGE_List* list, int page, int objNum);
IResourceRecord* AddIResource(XGE_List* list, int page, InternalResource id);
// A path that does not fit a record (259 bytes and the terminator) is not added.
InlineRecord* AddInlineResource(XGE_List* list, int page, const char* path);
// 1 when a record of any page holds the path, else 0.
int CheckInlineResource(XGE_List* list, const char* path);

// The width paired with the first of `count` codes equal to `code`; 0.0 when none is.
double GetWidth(unsigned int code, double* codes, double* widths, int count);

#endif
