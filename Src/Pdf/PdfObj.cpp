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

PdfDict::PdfDict() : count(0), capacity(0), growStep(10), entries(nullptr), index(nullptr), indexMask(0)
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
    free(index);
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

static uint32_t KeyHash(const char* text)
{
    uint32_t h = 2166136261u;
    for (const unsigned char* p = (const unsigned char*)text; *p; p++)
        h = (h ^ *p) * 16777619u;
    return h;
}

static const char* KeyText(const PdfDictEntry& e)
{
    return e.key ? e.key->str : nullptr;
}

// Records entry `pos` in the index; the caller makes sure a free slot exists. A key text that
// is already there keeps its first position.
static void IndexInsert(PdfDict* d, int pos)
{
    const char* text = KeyText(d->entries[pos]);
    if (!text)
        return;  // a key without text is only ever found by the ordered search
    uint32_t i = KeyHash(text) & (uint32_t)d->indexMask;
    while (d->index[i] != 0) {
        if (SameName(KeyText(d->entries[d->index[i] - 1]), text))
            return;
        i = (i + 1) & (uint32_t)d->indexMask;
    }
    d->index[i] = pos + 1;
}

// (Re)builds the index with room for twice the entries it must hold. False when memory runs
// out: the dictionary then goes on without one.
static bool BuildIndex(PdfDict* d, int room)
{
    long long slots = 32;
    while (slots < 2LL * room)
        slots *= 2;
    if (slots > INT_MAX || (unsigned long long)slots > SIZE_MAX / sizeof(int))
        return false;
    int* fresh = (int*)calloc((size_t)slots, sizeof(int));
    if (!fresh)
        return false;
    free(d->index);
    d->index = fresh;
    d->indexMask = (int)slots - 1;
    for (int i = 0; i < d->count; i++)
        IndexInsert(d, i);
    return true;
}

int PdfDict::Find(const char* key)
{
    if (index && key) {
        uint32_t i = KeyHash(key) & (uint32_t)indexMask;
        while (index[i] != 0) {
            if (SameName(KeyText(entries[index[i] - 1]), key))
                return index[i] - 1;
            i = (i + 1) & (uint32_t)indexMask;
        }
        return -1;
    }
    for (int i = 0; i < count; i++)
        if (entries[i].key && SameName(entries[i].key->str, key))
            return i;
    return -1;
}

// Put, telling the caller whether `key` itself was stored.
static int PutEntry(PdfDict* d, PdfName* key, PdfObj* value, bool* keptKey)
{
    *keptKey = false;
    if (!key)
        return -1;
    int at = d->Find(key->str);
    if (at >= 0) {
        if (d->entries[at].value != value)
            delete d->entries[at].value;
        d->entries[at].value = value;
        return 0;
    }
    if (d->count >= d->capacity) {
        int next = GrownCapacity(d->count, d->capacity, d->growStep, sizeof(PdfDictEntry));
        if (next < 0)
            return -1;
        PdfDictEntry* grown = (PdfDictEntry*)realloc(d->entries, (size_t)next * sizeof(PdfDictEntry));
        if (!grown)
            return -1;
        d->entries = grown;
        d->capacity = next;
    }
    int pos = d->count++;
    d->entries[pos].key = key;
    d->entries[pos].value = value;
    *keptKey = true;
    if (d->index && 2LL * d->count > (long long)d->indexMask + 1) {
        if (!BuildIndex(d, d->count)) {
            free(d->index);  // searched in order from now on
            d->index = nullptr;
        }
    } else if (d->index) {
        IndexInsert(d, pos);
    } else if (d->count >= PDF_DICT_INDEX_FROM) {
        BuildIndex(d, d->count);
    }
    return 0;
}

int PdfDict::Put(PdfName* key, PdfObj* value)
{
    bool kept;
    return PutEntry(this, key, value, &kept);
}

int PdfDict::PutOwned(PdfName* key, PdfObj* value)
{
    bool kept;
    if (PutEntry(this, key, value, &kept) != 0) {
        delete key;
        delete value;
        return -1;
    }
    if (!kept)
        delete key;
    return 0;
}

PdfDictEntry* PdfDictFindEntry(PdfObj* dict, const char* key)
{
    if (!dict || dict->Type() != PDF_DICT || !key)
        return nullptr;
    PdfDict* d = static_cast<PdfDict*>(dict);
    int at = d->Find(key);
    return at >= 0 ? &d->entries[at] : nullptr;
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
