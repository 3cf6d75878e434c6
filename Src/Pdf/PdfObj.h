// The PDF object classes: every value read from a file or a content stream is held as a
// tree of these. A container owns its subtree; a tree returned by a parser or by Dup
// belongs to the caller. Byte buffers (names, strings, entry and item blocks) come from
// malloc and are released with free.
#ifndef VARDEX_PDF_PDFOBJ_H
#define VARDEX_PDF_PDFOBJ_H

#include <cstdint>

#include "Pdf/Limits.h"

enum PdfObjType {
    PDF_NULL = 0,
    PDF_DICT = 1,
    PDF_STRING = 2,
    PDF_NUMBER = 3,
    PDF_ARRAY = 4,
    PDF_NAME = 5,
    PDF_STREAM = 6,  // reserved: a stream's dictionary stays a PdfDict
    PDF_BOOL = 7,
    PDF_INDIRECT = 8,
    PDF_REAL = 9
};

class PdfObj {
public:
    PdfObj();
    virtual ~PdfObj();
    virtual int Type();
    virtual int Length();

    // A deep copy owned by the caller, or null (type 6 and unknown codes).
    PdfObj* Dup();

    PdfObj(const PdfObj&) = delete;
    PdfObj& operator=(const PdfObj&) = delete;

    // Registry of live objects, read only by the diagnostic dump.
    static PdfObj* refTable[PDF_REGISTRY_SLOTS];
    static uint32_t rcnt;

    uint32_t slot;
    int objNum;  // set on the top object that ParseIndirectObject returns
    int owned;   // non-zero: the receiver releases it with RemoveObj
    int type;
};

class PdfNull : public PdfObj {
public:
    PdfNull();
};

class PdfBool : public PdfObj {
public:
    PdfBool();
    uint8_t value;
};

class PdfNumber : public PdfObj {
public:
    PdfNumber();
    int32_t value;
};

class PdfReal : public PdfObj {
public:
    PdfReal();
    double value;
};

class PdfString : public PdfObj {
public:
    PdfString();
    ~PdfString() override;
    int Length() override;
    char* str;  // len bytes and a NUL that is not counted; may hold NUL bytes
    int len;
};

class PdfName : public PdfObj {
public:
    PdfName();
    ~PdfName() override;
    PdfName& operator=(PdfName& other);
    char* str;  // without the leading '/', escapes decoded; may be null
};

// A name made from text, as the typed dictionary getters take their keys.
class PdfKey : public PdfName {
public:
    explicit PdfKey(const char* text);
};

class PdfIndirect : public PdfObj {
public:
    PdfIndirect();
    int refNum;
    int refGen;
};

class PdfArray : public PdfObj {
public:
    PdfArray();
    ~PdfArray() override;
    int Length() override;

    // Appends `item`, growing the block to count + capacity (count + growStep when empty).
    // 0, or -1 when the block cannot grow: the caller keeps the item.
    int Append(PdfObj* item);

    int growStep;
    int count;
    int capacity;
    PdfObj** items;
};

struct PdfDictEntry {
    PdfName* key;
    PdfObj* value;
};

class PdfDict : public PdfObj {
public:
    PdfDict();
    ~PdfDict() override;
    int Length() override;

    // A key already present gets `value` (the old value is destroyed unless it is `value`
    // itself) and keeps its first key object: `key` stays with the caller. Otherwise the pair
    // is appended and owned from then on. -1 when the block cannot grow (caller keeps both).
    int Put(PdfName* key, PdfObj* value);

    // Put for a caller that hands over both objects: whatever the dictionary did not keep
    // (the key of an entry that was present, both when the block cannot grow) is destroyed.
    // 0 when the value was stored, -1 when the pair was dropped.
    int PutOwned(PdfName* key, PdfObj* value);

    // Position of the first entry with the key text `key` (null text included), or -1.
    int Find(const char* key);

    int count;
    int capacity;
    int growStep;
    PdfDictEntry* entries;

    // Entry positions by key text, built once the dictionary holds PDF_DICT_INDEX_FROM
    // entries and kept up to date by Put: an open-addressed table of position + 1 (0 free),
    // indexMask + 1 slots. Entries must only be added through Put.
    int* index;
    int indexMask;
};

// The value stored under `key` in a direct dictionary (the first entry whose key text equals
// it, even a null value); null when `dict` is no dictionary or holds no such key.
PdfObj* PdfDictLookup(PdfObj* dict, const char* key);
// The entry itself (key and value) of a direct dictionary whose key text equals `key`; null
// when there is none or `dict` is no dictionary.
PdfDictEntry* PdfDictFindEntry(PdfObj* dict, const char* key);

// Destroys `obj` when its owned flag is set; does nothing otherwise (or for null).
void RemoveObj(PdfObj* obj);

// A real where an integer is wanted: truncated toward zero and clamped to the int range.
int PdfRealToInt(double value);

#endif
