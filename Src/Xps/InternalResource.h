// Resources the program carries in itself rather than extracting them from the PDF.
#ifndef VARDEX_XPS_INTERNALRESOURCE_H
#define VARDEX_XPS_INTERNALRESOURCE_H

// Identifier of a built-in resource.
typedef int InternalResource;

// The CMYK output profile that every CMYK colour in the page markup refers to.
const InternalResource INTERNAL_RESOURCE_CMYK_PROFILE = 1;

struct InterResource {
    InternalResource id;
    const char* name;  // part name under Resources/; null ends the table
    const unsigned char* data;
    const int* size;
};

extern const InterResource InterResourceTable[];

// The profile's bytes, embedded at build time, and their count.
extern "C" const unsigned char SwapIcc[];
extern "C" const int SwapIccSize;

// Sets name, data and size (each may be null) of the built-in resource `id`: 0, or -1 when
// the table has no such resource.
int GetInternalResource(InternalResource id, const char** name, const unsigned char** data,
                        int* size);

#endif
