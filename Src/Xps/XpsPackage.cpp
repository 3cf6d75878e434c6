#include "Xps/XpsPackage.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unordered_map>
#include <vector>

#include "Pdf/FileAccess.h"
#include "Pdf/PdfXref.h"
#include "Xps/InternalResource.h"
#include "Xps/Package.h"

#define XPS_NS "http://schemas.microsoft.com/xps/2005/06"
#define XPS_FIXEDREP XPS_NS "/fixedrepresentation"
#define XPS_REQRES XPS_NS "/required-resource"
#define OPC_CT_NS "http://schemas.openxmlformats.org/package/2006/content-types"
#define OPC_REL_NS "http://schemas.openxmlformats.org/package/2006/relationships"

const char* const ContentType =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Types xmlns=\"" OPC_CT_NS "\">\n"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>\n"
    "<Default Extension=\"fdseq\" ContentType=\"application/vnd.ms-package.xps-fixeddocumentsequence+xml\"/>\n"
    "<Default Extension=\"fdoc\" ContentType=\"application/vnd.ms-package.xps-fixeddocument+xml\"/>\n"
    "<Default Extension=\"fpage\" ContentType=\"application/vnd.ms-package.xps-fixedpage+xml\"/>\n"
    "<Default Extension=\"ttf\" ContentType=\"application/vnd.ms-opentype\"/>\n"
    "<Default Extension=\"odttf\" ContentType=\"application/vnd.ms-package.obfuscated-opentype\"/>\n"
    "<Default Extension=\"xml\" ContentType=\"application/vnd.ms-printing.printticket+xml\"/>\n"
    "<Default Extension=\"jpg\" ContentType=\"image/jpeg\"/>\n"
    "<Default Extension=\"png\" ContentType=\"image/png\"/>\n"
    "<Default Extension=\"tif\" ContentType=\"image/tiff\"/>\n"
    "<Default Extension=\"hdp\" ContentType=\"image/vnd.ms-Photo\"/>\n"
    "<Default Extension=\"icc\" ContentType=\"application/vnd.ms-color.iccprofile\"/>\n"
    "<Default Extension=\"xaml\" ContentType=\"application/xml\"/>\n"
    "</Types>\n";

namespace {

const size_t kInlinePathBytes = PDF_MAX_PATH;

void Appendf(std::string* out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Appendf(std::string* out, const char* format, ...)
{
    va_list ap, again;
    va_start(ap, format);
    va_copy(again, ap);
    char small[512];
    int n = vsnprintf(small, sizeof small, format, ap);
    va_end(ap);
    if (n >= 0 && (size_t)n < sizeof small) {
        out->append(small, (size_t)n);
    } else if (n > 0) {
        std::string big((size_t)n + 1, '\0');
        vsnprintf(&big[0], big.size(), format, again);
        out->append(big.c_str(), (size_t)n);
    }
    va_end(again);
}

// File names come from the PDF (a font's name is part of its file's name), so they are
// escaped before they go into an attribute value.
std::string XmlAttr(const char* s)
{
    std::string out;
    for (; *s; s++) {
        switch (*s) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += *s;
        }
    }
    return out;
}

// A relationship to a part that is then missing makes the whole package unreadable, so a
// resource is used only when its file is a regular file that opens. A file is looked at once
// for the whole package, however many pages use it: a font on every page is not opened
// for every page.
class ReadableFiles {
public:
    bool Check(const char* path)
    {
        if (!path || !*path || strlen(path) >= PDF_MAX_PATH)
            return false;
        auto found = known_.find(path);
        if (found == known_.end())
            found = known_.emplace(path, Look(path)).first;
        return found->second;
    }

private:
    static bool Look(const char* path)
    {
        struct stat st;
        if (stat(path, &st) != 0 || !S_ISREG(st.st_mode))
            return false;
        FILE* fp = fopen(path, "rb");
        if (!fp)
            return false;
        fclose(fp);
        return true;
    }

    std::unordered_map<std::string, bool> known_;
};

// PNG and JPEG files are compressed already: deflating them again costs time and gains next
// to nothing, so their parts are stored as they are.
bool StoredPart(const char* path)
{
    const char* slash = strrchr(path, '/');
    const char* dot = strrchr(slash ? slash + 1 : path, '.');
    return dot && (strcasecmp(dot, ".png") == 0 || strcasecmp(dot, ".jpg") == 0);
}

// {int page; int value} records of the resources and internal lists.
bool PairRecord(XGE_List* list, uint32_t i, int* page, int* value)
{
    if (!list || list->elemSize < 2 * sizeof(int) || i >= list->count)
        return false;
    const unsigned char* rec = (const unsigned char*)list->Get(i);
    if (!rec)
        return false;
    memcpy(page, rec, sizeof(int));
    memcpy(value, rec + sizeof(int), sizeof(int));
    return true;
}

// {int page; char path[260]} records of the inline list; a path without its terminator
// inside the record is refused.
bool InlineRecord(XGE_List* list, uint32_t i, int* page, const char** path)
{
    if (!list || list->elemSize < sizeof(int) + kInlinePathBytes || i >= list->count)
        return false;
    const char* rec = (const char*)list->Get(i);
    if (!rec)
        return false;
    memcpy(page, rec, sizeof(int));
    *path = rec + sizeof(int);
    return memchr(*path, 0, kInlinePathBytes) != nullptr;
}

uint32_t Count(XGE_List* list)
{
    return list ? list->count : 0;
}

// The readable extracted file of an object, or null.
const char* ExtractedFile(PdfXref* xref, int objNum, ReadableFiles* files)
{
    XrefEntry* e = xref ? xref->Entry(objNum) : nullptr;
    if (!e || !files->Check(e->path))
        return nullptr;
    return e->path;
}

int WritePart(Package* pkg, const char* name, const std::string& text)
{
    if (text.size() > INT_MAX || pkg->OpenForWrite(name, false) != ZIP_OK)
        return -1;
    int rc = pkg->Write((const unsigned char*)text.data(), (int)text.size());
    int closed = pkg->CloseWrite();
    return rc == ZIP_OK && closed == ZIP_OK ? 0 : -1;
}

// Indices of a list's records by page, in list order: the relationships of each page are
// then written from its own records instead of a pass over every page's.
struct ByPage {
    std::vector<std::vector<uint32_t>> resources, internal, inlineImages;
};

bool PageInRange(int page, int pageCount);

ByPage IndexByPage(int pageCount, XGE_List* resources, XGE_List* internal, XGE_List* inlineImages)
{
    ByPage by;
    by.resources.resize((size_t)pageCount);
    by.internal.resize((size_t)pageCount);
    by.inlineImages.resize((size_t)pageCount);
    int p, value;
    const char* path;
    for (uint32_t i = 0; i < Count(resources); i++)
        if (PairRecord(resources, i, &p, &value) && PageInRange(p, pageCount))
            by.resources[(size_t)p].push_back(i);
    for (uint32_t i = 0; i < Count(internal); i++)
        if (PairRecord(internal, i, &p, &value) && PageInRange(p, pageCount))
            by.internal[(size_t)p].push_back(i);
    for (uint32_t i = 0; i < Count(inlineImages); i++)
        if (InlineRecord(inlineImages, i, &p, &path) && PageInRange(p, pageCount))
            by.inlineImages[(size_t)p].push_back(i);
    return by;
}

std::string PageRelationships(int page, XGE_List* resources, XGE_List* internal,
                              XGE_List* inlineImages, PdfXref* xref, const ByPage& by,
                              ReadableFiles* files)
{
    std::string rels =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?> \n<Relationships xmlns=\"" OPC_REL_NS "\"> \n";
    char name[PDF_MAX_PATH];

    // Relationship Ids must be unique within the part, whatever the lists hold.
    std::set<int> objects;
    for (uint32_t i : by.resources[(size_t)page]) {
        int p, obj;
        if (!PairRecord(resources, i, &p, &obj) || p != page || objects.count(obj))
            continue;
        const char* path = ExtractedFile(xref, obj, files);
        if (!path)
            continue;
        GetFileNameFromPath(path, name, false);
        objects.insert(obj);
        Appendf(&rels,
                "<Relationship Type=\"" XPS_REQRES "\" Target=\"/Resources/%s\" Id=\"Q%d\"/> \n",
                XmlAttr(name).c_str(), obj);
    }

    std::set<int> ids;
    for (uint32_t i : by.internal[(size_t)page]) {
        int p, id;
        const char* resName;
        if (!PairRecord(internal, i, &p, &id) || p != page || ids.count(id) ||
            GetInternalResource(id, &resName, nullptr, nullptr) != 0)
            continue;
        ids.insert(id);
        Appendf(&rels,
                "<Relationship Type=\"" XPS_REQRES "\" Target=\"/Resources/%s\" Id=\"Q%d_%d\"/> \n",
                XmlAttr(resName).c_str(), page, id);
    }

    // Inline images have no object number; "I" keeps their Ids apart from the "Q" ones.
    std::set<std::string> seen;
    int inlineId = 0;
    for (uint32_t i : by.inlineImages[(size_t)page]) {
        int p;
        const char* path;
        if (!InlineRecord(inlineImages, i, &p, &path) || p != page || seen.count(path) ||
            !files->Check(path))
            continue;
        seen.insert(path);
        GetFileNameFromPath(path, name, false);
        Appendf(&rels,
                "<Relationship Type=\"" XPS_REQRES "\" Target=\"/Resources/%s\" Id=\"I%d\"/> \n",
                XmlAttr(name).c_str(), ++inlineId);
    }

    rels += "</Relationships>\n";
    return rels;
}

bool PageInRange(int page, int pageCount)
{
    return page >= 0 && page < pageCount;
}

// Every file once, and only files some page's relationships name.
int WriteResources(Package* pkg, int pageCount, XGE_List* resources, XGE_List* internal,
                   XGE_List* inlineImages, PdfXref* xref, ReadableFiles* files)
{
    for (uint32_t i = 0; i < Count(resources); i++) {
        int p, obj;
        if (!PairRecord(resources, i, &p, &obj) || !PageInRange(p, pageCount))
            continue;
        const char* path = ExtractedFile(xref, obj, files);
        if (path && pkg->Add(path, StoredPart(path)) != 0)
            return -1;
    }
    for (uint32_t i = 0; i < Count(inlineImages); i++) {
        int p;
        const char* path;
        if (!InlineRecord(inlineImages, i, &p, &path) || !PageInRange(p, pageCount) ||
            !files->Check(path))
            continue;
        if (pkg->Add(path, StoredPart(path)) != 0)
            return -1;
    }
    for (uint32_t i = 0; i < Count(internal); i++) {
        int p, id;
        const char* name;
        const unsigned char* data;
        int size;
        if (!PairRecord(internal, i, &p, &id) || !PageInRange(p, pageCount) ||
            GetInternalResource(id, &name, &data, &size) != 0)
            continue;
        if (pkg->OpenForWrite(name, false) != ZIP_OK) {
            // Refused because an earlier page already stored it: nothing more to do.
            std::string entry = std::string(pkg->folder) + name;
            if (zipLocateFile(pkg->handle, entry.c_str(), 0) == 0)
                continue;
            return -1;
        }
        int rc = pkg->Write(data, size);
        if (pkg->CloseWrite() != ZIP_OK || rc != ZIP_OK)
            return -1;
    }
    return 0;
}

int WriteParts(Package* pkg, int pageCount, XGE_List* resources, XGE_List* internal,
               XGE_List* inlineImages, const char* pageDir, PdfXref* xref)
{
    if (pkg->SetFolder("") != 0 ||
        WritePart(pkg, "FixedDocumentSequence.fdseq",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<FixedDocumentSequence xmlns=\"" XPS_NS
                  "\">\n<DocumentReference Source=\"Documents/1/FixedDocument.fdoc\"/>\n"
                  "</FixedDocumentSequence>\n") != 0 ||
        WritePart(pkg, "[Content_Types].xml", ContentType) != 0)
        return -1;

    if (pkg->SetFolder("_rels") != 0 ||
        WritePart(pkg, ".rels",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?> \n<Relationships xmlns=\"" OPC_REL_NS
                  "\"> \n<Relationship Type=\"" XPS_FIXEDREP
                  "\" Target=\"/FixedDocumentSequence.fdseq\" Id=\"R9e85e6bf03244ed0\"/> \n"
                  "</Relationships> \n") != 0)
        return -1;

    std::string fdoc =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?> \n<FixedDocument xmlns=\"" XPS_NS "\"> \n";
    for (int i = 1; i <= pageCount; i++)
        Appendf(&fdoc, "<PageContent Source=\"Pages/%d.fpage\"/>\n", i);
    fdoc += "</FixedDocument>\n";
    if (pkg->SetFolder("Documents/1") != 0 || WritePart(pkg, "FixedDocument.fdoc", fdoc) != 0)
        return -1;

    if (pkg->SetFolder("Documents/1/Pages/_rels") != 0)
        return -1;
    ByPage by = IndexByPage(pageCount, resources, internal, inlineImages);
    ReadableFiles files;
    for (int p = 0; p < pageCount; p++) {
        char name[32];
        snprintf(name, sizeof name, "%d.fpage.rels", p + 1);
        if (WritePart(pkg, name,
                      PageRelationships(p, resources, internal, inlineImages, xref, by, &files)) != 0)
            return -1;
    }

    if (pkg->SetFolder("Resources") != 0 ||
        WriteResources(pkg, pageCount, resources, internal, inlineImages, xref, &files) != 0)
        return -1;

    char dir[PDF_MAX_PATH] = "";
    if (pageDir && snprintf(dir, sizeof dir, "%s", pageDir) >= (int)sizeof dir)
        return -1;
    size_t len = strlen(dir);
    if (len > 0 && (dir[len - 1] == '/' || dir[len - 1] == '\\'))
        dir[len - 1] = 0;
    if (pkg->SetFolder("Documents/1/Pages") != 0)
        return -1;
    for (int i = 1; i <= pageCount; i++) {
        char path[PDF_MAX_PATH];
        if (snprintf(path, sizeof path, "%s/%d.fpage", dir, i) >= (int)sizeof path)
            return -1;
        if (pkg->Add(path, false) != 0)
            return -1;
    }
    return 0;
}

}  // namespace

int WriteXpsPackage(int pageCount, XGE_List* resources, XGE_List* internal,
                    XGE_List* inlineImages, const char* packagePath, const char* pageDir,
                    PdfXref* xref, int* error)
{
    if (error)
        *error = 0;
    if (pageCount < 0)
        pageCount = 0;
    Package pkg;
    if (pkg.Create(packagePath, pageDir) != 0) {
        if (error)
            *error = pkg.Error();
        return -1;
    }
    int rc = WriteParts(&pkg, pageCount, resources, internal, inlineImages, pageDir, xref);
    if (pkg.Close(rc == 0) != 0)
        rc = -1;
    if (rc != 0 && error)
        *error = pkg.Error();
    return rc;
}
