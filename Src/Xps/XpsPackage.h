// Package assembly: after the last page, every part of the package in one pass (document
// sequence, content types, relationships, fixed document, per-page relationships, the
// resources the pages use, the built-in profile, and the page files).
#ifndef VARDEX_XPS_XPSPACKAGE_H
#define VARDEX_XPS_XPSPACKAGE_H

#include "Pdf/XGE_List.h"

struct PdfXref;

// The fixed text of the content-types part.
extern const char* const ContentType;

// Writes the package to `packagePath`, or to standard output when it is null. `pageDir` is
// the temporary folder holding "N.fpage" for pages 1..pageCount (a spooled standard output
// also goes there). The three lists are the pages' resource-use records: {int page; int
// object number}, {int page; InternalResource id} and {int page; char path[260]}; object
// numbers are looked up in `xref` for the extracted file. A resource whose file cannot be
// read gets neither a part nor a relationship.
// 0 when the whole package was written; -1 when the archive cannot be created, a page file
// cannot be read, or any write fails (what was written is then not a valid package). With
// `error` given, a package file that could not be created or written leaves the system's
// reason there (an errno value; 0 for any other failure).
int WriteXpsPackage(int pageCount, XGE_List* resources, XGE_List* internal,
                    XGE_List* inlineImages, const char* packagePath, const char* pageDir,
                    PdfXref* xref, int* error = nullptr);

#endif
