// A growable array of fixed-size records stored by value in one block. The list copies
// record bytes in and out and frees only its own block, never what a record points to.
#ifndef VARDEX_PDF_XGE_LIST_H
#define VARDEX_PDF_XGE_LIST_H

#include <cstdint>

class XGE_List {
public:
    XGE_List();
    XGE_List(unsigned long elemSize, unsigned long capacity, unsigned long growBy);
    virtual ~XGE_List();

    XGE_List(const XGE_List&) = delete;
    XGE_List& operator=(const XGE_List&) = delete;

    // Appends a record (rec null: the slot is reserved, unwritten) and returns its address;
    // null when the block cannot grow (the list is then unchanged).
    void* Add(void* rec);
    // Address of record i while i < capacity (callers loop over i < count), else null.
    void* Get(unsigned long i);
    void* operator[](unsigned long i);
    void* GetFirst();
    void* GetNext(void* rec);
    void* GetPrev(void* rec);
    void* GetLast();
    // Enlarges the block by n records; the new block, or null (unchanged) on failure.
    void* Grow(unsigned long n);
    void* InsertAt(unsigned long i, void* rec);
    uint32_t Remove(unsigned long i);
    uint32_t Remove(void* rec);

    uint32_t elemSize;
    uint32_t growBy;
    uint32_t count;
    uint32_t capacity;
    void* data;

private:
    bool Reserve(uint64_t newCapacity);
    long IndexOf(void* rec);
};

#endif
