#include "Xps/InternalResource.h"

const InterResource InterResourceTable[] = {
    {INTERNAL_RESOURCE_CMYK_PROFILE, "SWOP.ICC", SwapIcc, &SwapIccSize},
    {0, nullptr, nullptr, nullptr},
};

int GetInternalResource(InternalResource id, const char** name, const unsigned char** data,
                        int* size)
{
    for (const InterResource* row = InterResourceTable; row->name; row++) {
        if (row->id != id)
            continue;
        if (name)
            *name = row->name;
        if (data)
            *data = row->data;
        if (size)
            *size = *row->size;
        return 0;
    }
    return -1;
}
