#include "Interpreter/ResourceUse.h"

#include <cstring>

template <typename Record>
static Record* At(XGE_List* list, uint32_t i)
{
    return static_cast<Record*>(list->Get(i));
}

// A record is added only when the list lacks it, at the end, so the writer sees the records
// in the order of first use. The list holds each record once; the search runs from the last,
// where the records of the page being drawn are: text showing asks once per string, and a
// search from the first would grow with every page before it.
template <typename Record, typename Same>
static Record* FindOrAdd(XGE_List* list, const Record& rec, Same same)
{
    if (!list || list->elemSize != sizeof(Record))
        return nullptr;
    for (uint32_t i = list->count; i-- > 0;) {
        Record* r = At<Record>(list, i);
        if (r && same(*r))
            return r;
    }
    Record copy = rec;
    return static_cast<Record*>(list->Add(&copy));
}

ResourceRecord* AddResource(XGE_List* list, int page, int objNum)
{
    ResourceRecord rec = {page, objNum};
    return FindOrAdd(list, rec, [&](const ResourceRecord& r) {
        return r.page == page && r.objNum == objNum;
    });
}

IResourceRecord* AddIResource(XGE_List* list, int page, InternalResource id)
{
    IResourceRecord rec = {page, id};
    return FindOrAdd(list, rec, [&](const IResourceRecord& r) {
        return r.page == page && r.id == id;
    });
}

InlineRecord* AddInlineResource(XGE_List* list, int page, const char* path)
{
    if (!path)
        return nullptr;
    size_t len = strlen(path);
    if (len >= PDF_MAX_PATH)
        return nullptr;
    InlineRecord rec;
    memset(&rec, 0, sizeof rec);
    rec.page = page;
    memcpy(rec.path, path, len + 1);
    return FindOrAdd(list, rec, [&](const InlineRecord& r) {
        return r.page == page && strncmp(r.path, path, PDF_MAX_PATH) == 0;
    });
}

int CheckInlineResource(XGE_List* list, const char* path)
{
    if (!list || !path || list->elemSize != sizeof(InlineRecord))
        return 0;
    for (uint32_t i = 0; i < list->count; i++) {
        InlineRecord* r = At<InlineRecord>(list, i);
        if (r && strncmp(r->path, path, PDF_MAX_PATH) == 0)
            return 1;
    }
    return 0;
}

double GetWidth(unsigned int code, double* codes, double* widths, int count)
{
    if (!codes || !widths)
        return 0.0;
    for (int i = 0; i < count; i++)
        if (codes[i] == (double)code)
            return widths[i];
    return 0.0;
}
