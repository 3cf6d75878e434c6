#include "Pdf/PdfObj.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

PdfObj* PdfObj::refTable[PDF_REGISTRY_SLOTS];
uint32_t PdfObj::rcnt = 0;

PdfObj::PdfObj() : objNum(0), owned(0), type(PDF_NULL)
{
    refTable[rcnt] = this;
    slot = rcnt;
    rcnt = (rcnt + 1 >= (uint32_t)PDF_REGISTRY_SLOTS) ? 0 : rcnt + 1;
}

PdfObj::~PdfObj()
{
    // After the cursor wrapped, a newer object may have taken this slot: leave it to that one.
    if (slot < (uint32_t)PDF_REGISTRY_SLOTS && refTable[slot] == this)
        refTable[slot] = nullptr;
}

int PdfObj::Type()
{
    return type;
}

int PdfObj::Length()
{
    return 0;
}

PdfNull::PdfNull()
{
    type = PDF_NULL;
}

PdfBool::PdfBool() : value(0)
{
    type = PDF_BOOL;
}

PdfNumber::PdfNumber() : value(0)
{
    type = PDF_NUMBER;
}

PdfReal::PdfReal() : value(0.0)
{
    type = PDF_REAL;
}

PdfString::PdfString() : str(nullptr), len(0)
{
    type = PDF_STRING;
}

PdfString::~PdfString()
{
    free(str);
}

int PdfString::Length()
{
    return len;
}

PdfName::PdfName() : str(nullptr)
{
    type = PDF_NAME;
}

PdfName::~PdfName()
{
    free(str);
}

PdfKey::PdfKey(const char* text)
{
    str = text ? strdup(text) : nullptr;
}

PdfName& PdfName::operator=(PdfName& other)
{
    if (&other == this)
        return *this;
    free(str);
    str = nullptr;
    if (other.str) {
        size_t n = strlen(other.str);
        str = (char*)malloc(n + 1);
        if (str)
            memcpy(str, other.str, n + 1);
    }
    return *this;
}

PdfIndirect::PdfIndirect() : refNum(0), refGen(0)
{
    type = PDF_INDIRECT;
}

PdfArray::PdfArray() : growStep(8), count(0), capacity(0), items(nullptr)
{
    type = PDF_ARRAY;
}

PdfArray::~PdfArray()
{
    for (int i = 0; i < count; i++)
        delete items[i];
    free(items);
}

int PdfArray::Length()
{
    return count;
}

// New capacity for a block that is full: doubles after the first block of `growStep`.
// A grow step below 1 would make an empty block that the next store writes past.
static int GrownCapacity(int count, int capacity, int growStep, size_t elem)
{
    long long add = capacity > 0 ? capacity : (growStep > 0 ? growStep : 1);
    long long next = (long long)count + add;
    if (next > INT_MAX || (unsigned long long)next > SIZE_MAX / elem)
        return -1;
    return (int)next;
}

int PdfArray::Append(PdfObj* item)
{
    if (count >= capacity) {
        int next = GrownCapacity(count, capacity, growStep, sizeof(PdfObj*));
        if (next < 0)
            return -1;
        PdfObj** grown = (PdfObj**)realloc(items, (size_t)next * sizeof(PdfObj*));
        if (!grown)
            return -1;
        items = grown;
        capacity = next;
    }
    items[count++] = item;
    return 0;
}

PdfDict::PdfDict() : count(0), capacity(0), growStep(10), entries(nullptr)
{
    type = PDF_DICT;
}

PdfDict::~PdfDict()
{
    for (int i = 0; i < count; i++) {
        if (!entries[i].key)
            continue;
        delete entries[i].key;
        delete entries[i].value;
    }
    free(entries);
}

int PdfDict::Length()
{
    return count;
}

static bool SameName(const char* a, const char* b)
{
    if (!a || !b)
        return a == b;
    return strcmp(a, b) == 0;
}

int PdfDict::Put(PdfName* key, PdfObj* value)
{
    if (!key)
        return -1;
    for (int i = 0; i < count; i++) {
        if (entries[i].key && SameName(entries[i].key->str, key->str)) {
            if (entries[i].value != value)
                delete entries[i].value;
            entries[i].value = value;
            return 0;
        }
    }
    if (count >= capacity) {
        int next = GrownCapacity(count, capacity, growStep, sizeof(PdfDictEntry));
        if (next < 0)
            return -1;
        PdfDictEntry* grown = (PdfDictEntry*)realloc(entries, (size_t)next * sizeof(PdfDictEntry));
        if (!grown)
            return -1;
        entries = grown;
        capacity = next;
    }
    entries[count].key = key;
    entries[count].value = value;
    count++;
    return 0;
}

int PdfDict::PutOwned(PdfName* key, PdfObj* value)
{
    if (Put(key, value) != 0) {
        delete key;
        delete value;
        return -1;
    }
    for (int i = 0; i < count; i++)
        if (entries[i].key == key)
            return 0;
    delete key;
    return 0;
}

PdfDictEntry* PdfDictFindEntry(PdfObj* dict, const char* key)
{
    if (!dict || dict->Type() != PDF_DICT || !key)
        return nullptr;
    PdfDict* d = static_cast<PdfDict*>(dict);
    for (int i = 0; i < d->count; i++) {
        PdfName* k = d->entries[i].key;
        if (k && k->str && strcmp(k->str, key) == 0)
            return &d->entries[i];
    }
    return nullptr;
}

PdfObj* PdfDictLookup(PdfObj* dict, const char* key)
{
    PdfDictEntry* e = PdfDictFindEntry(dict, key);
    return e ? e->value : nullptr;
}

void RemoveObj(PdfObj* obj)
{
    if (obj && obj->owned)
        delete obj;
}

int PdfRealToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= (double)INT_MAX)
        return INT_MAX;
    if (value <= (double)INT_MIN)
        return INT_MIN;
    return (int)value;
}

PdfObj* PdfObj::Dup()
{
    switch (type) {
    case PDF_NULL:
        return new PdfNull;
    case PDF_DICT: {
        PdfDict* src = static_cast<PdfDict*>(this);
        PdfDict* d = new PdfDict;
        for (int i = 0; i < src->count; i++) {
            if (!src->entries[i].key)
                continue;
            PdfName* key = static_cast<PdfName*>(src->entries[i].key->Dup());
            PdfObj* value = src->entries[i].value ? src->entries[i].value->Dup() : nullptr;
            d->PutOwned(key, value);
        }
        return d;
    }
    case PDF_STRING: {
        PdfString* src = static_cast<PdfString*>(this);
        PdfString* s = new PdfString;
        int n = (src->str && src->len > 0) ? src->len : 0;
        s->str = (char*)malloc((size_t)n + 1);
        if (s->str) {
            if (n)
                memcpy(s->str, src->str, (size_t)n);
            s->str[n] = 0;
            s->len = n;
        }
        return s;
    }
    case PDF_NUMBER: {
        PdfNumber* n = new PdfNumber;
        n->value = static_cast<PdfNumber*>(this)->value;
        return n;
    }
    case PDF_ARRAY: {
        PdfArray* src = static_cast<PdfArray*>(this);
        PdfArray* a = new PdfArray;
        // One growth takes all items at once.
        a->growStep = src->count > 0 ? src->count : 1;
        for (int i = 0; i < src->count; i++) {
            PdfObj* item = src->items[i] ? src->items[i]->Dup() : nullptr;
            if (a->Append(item) != 0)
                delete item;
        }
        return a;
    }
    case PDF_NAME: {
        PdfName* n = new PdfName;
        *n = *static_cast<PdfName*>(this);
        return n;
    }
    case PDF_STREAM:
        printf("STREAM_OBJ\n");
        return nullptr;
    case PDF_BOOL: {
        PdfBool* b = new PdfBool;
        b->value = static_cast<PdfBool*>(this)->value == 1 ? 1 : 0;
        return b;
    }
    case PDF_INDIRECT: {
        PdfIndirect* r = new PdfIndirect;
        r->refNum = static_cast<PdfIndirect*>(this)->refNum;
        r->refGen = static_cast<PdfIndirect*>(this)->refGen;
        return r;
    }
    case PDF_REAL: {
        PdfReal* r = new PdfReal;
        r->value = static_cast<PdfReal*>(this)->value;
        return r;
    }
    default:
        return nullptr;
    }
}
