#include "Pdf/XGE_List.h"

#include <cstdlib>
#include <cstring>

XGE_List::XGE_List() : elemSize(0), growBy(8), count(0), capacity(0), data(nullptr) {}

XGE_List::XGE_List(unsigned long size, unsigned long cap, unsigned long grow)
    : elemSize((uint32_t)size), growBy((uint32_t)grow), count(0), capacity(0), data(nullptr)
{
    if (size > UINT32_MAX || grow > UINT32_MAX)
        return;
    if (cap > 0 && cap <= UINT32_MAX)
        Reserve(cap);
}

XGE_List::~XGE_List()
{
    free(data);
}

// Resizes the block to newCapacity records; on failure the old block and capacity stay.
bool XGE_List::Reserve(uint64_t newCapacity)
{
    if (newCapacity > UINT32_MAX)
        return false;
    uint64_t bytes = newCapacity * elemSize;
    if (bytes > (uint64_t)SIZE_MAX)
        return false;
    // Records of no bytes still need a non-null address to hand out.
    void* grown = realloc(data, bytes ? (size_t)bytes : 1);
    if (!grown)
        return false;
    data = grown;
    capacity = (uint32_t)newCapacity;
    return true;
}

void* XGE_List::Add(void* rec)
{
    return InsertAt(count, rec);
}

void* XGE_List::Get(unsigned long i)
{
    if (!data || i >= capacity)
        return nullptr;
    return (char*)data + (size_t)i * elemSize;
}

void* XGE_List::operator[](unsigned long i)
{
    return Get(i);
}

void* XGE_List::GetFirst()
{
    return data;
}

// Index of the record in use at address rec, or -1.
long XGE_List::IndexOf(void* rec)
{
    if (!data || !rec || count == 0 || (char*)rec < (char*)data)
        return -1;
    size_t off = (size_t)((char*)rec - (char*)data);
    if (elemSize == 0)
        return off == 0 ? 0 : -1;
    if (off % elemSize != 0 || off / elemSize >= count)
        return -1;
    return (long)(off / elemSize);
}

void* XGE_List::GetNext(void* rec)
{
    long i = IndexOf(rec);
    if (i < 0 || (unsigned long)i + 1 >= count || elemSize == 0)
        return nullptr;
    return (char*)data + (size_t)(i + 1) * elemSize;
}

void* XGE_List::GetPrev(void* rec)
{
    long i = IndexOf(rec);
    if (i <= 0 || elemSize == 0)
        return nullptr;
    return (char*)data + (size_t)(i - 1) * elemSize;
}

void* XGE_List::GetLast()
{
    if (!data || count == 0)
        return nullptr;
    return (char*)data + (size_t)(count - 1) * elemSize;
}

void* XGE_List::Grow(unsigned long n)
{
    if (!Reserve((uint64_t)capacity + n))
        return nullptr;
    return data;
}

void* XGE_List::InsertAt(unsigned long i, void* rec)
{
    uint64_t target = capacity;
    if (count >= capacity)
        target += growBy ? growBy : 1;  // a fixed step, never doubling; 0 would never make room
    if (i >= target)
        return nullptr;
    if (target > capacity && !Reserve(target))
        return nullptr;
    char* base = (char*)data;
    if (i < count)
        memmove(base + (size_t)(i + 1) * elemSize, base + (size_t)i * elemSize,
                (size_t)(count - i) * elemSize);
    count++;
    char* at = base + (size_t)i * elemSize;
    if (rec)
        memcpy(at, rec, elemSize);
    return at;
}

uint32_t XGE_List::Remove(unsigned long i)
{
    if (count == 0)
        return 0;
    if (i + 1 < count) {
        char* base = (char*)data;
        memmove(base + (size_t)i * elemSize, base + (size_t)(i + 1) * elemSize,
                (size_t)(count - i - 1) * elemSize);
    }
    count--;
    return count;
}

uint32_t XGE_List::Remove(void* rec)
{
    long i = IndexOf(rec);
    if (i < 0)
        return count;
    return Remove((unsigned long)i);
}
