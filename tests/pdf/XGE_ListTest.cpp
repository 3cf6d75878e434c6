#include "Pdf/XGE_List.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

struct Rec {
    int page;
    int obj;
};

int ObjAt(XGE_List& l, unsigned long i)
{
    return static_cast<Rec*>(l.Get(i))->obj;
}

TEST(XGE_List, GrowsByFixedStepAndKeepsRecords)
{
    XGE_List l;
    l.elemSize = sizeof(Rec);
    EXPECT_EQ(l.Get(0), nullptr);
    EXPECT_EQ(l.GetLast(), nullptr);
    for (int i = 0; i < 9; i++) {
        Rec r = {1, i};
        ASSERT_NE(l.Add(&r), nullptr);
        EXPECT_EQ(l.capacity, i < 8 ? 8u : 16u);
    }
    EXPECT_EQ(l.count, 9u);
    for (int i = 0; i < 9; i++)
        EXPECT_EQ(ObjAt(l, i), i);
    EXPECT_NE(l.Get(15), nullptr);  // an unused slot: bounded by capacity, not count
    EXPECT_EQ(l.Get(16), nullptr);
    EXPECT_EQ(l[3], l.Get(3));

    Rec* slot = static_cast<Rec*>(l.Add(nullptr));
    ASSERT_NE(slot, nullptr);
    slot->obj = 99;
    EXPECT_EQ(l.count, 10u);
    EXPECT_EQ(static_cast<Rec*>(l.GetLast())->obj, 99);
}

TEST(XGE_List, Navigation)
{
    XGE_List l(sizeof(Rec), 4, 8);
    EXPECT_EQ(l.GetNext(l.GetFirst()), nullptr);  // empty
    for (int i = 0; i < 3; i++) {
        Rec r = {0, i};
        l.Add(&r);
    }
    char* base = static_cast<char*>(l.GetFirst());
    struct Case { void* at; void* next; void* prev; };
    const Case cases[] = {
        {base, base + sizeof(Rec), nullptr},
        {base + sizeof(Rec), base + 2 * sizeof(Rec), base},
        {base + 2 * sizeof(Rec), nullptr, base + sizeof(Rec)},
        {base + 3 * sizeof(Rec), nullptr, nullptr},  // unused slot
        {base - sizeof(Rec), nullptr, nullptr},
        {base + 1, nullptr, nullptr},  // not a record boundary
    };
    for (const Case& c : cases) {
        EXPECT_EQ(l.GetNext(c.at), c.next) << ((char*)c.at - base);
        EXPECT_EQ(l.GetPrev(c.at), c.prev) << ((char*)c.at - base);
    }
}

TEST(XGE_List, InsertAndRemove)
{
    XGE_List l(sizeof(int), 0, 2);
    auto contents = [&]() {
        std::string s;
        for (uint32_t i = 0; i < l.count; i++)
            s += std::to_string(*static_cast<int*>(l.Get(i)));
        return s;
    };
    for (int v : {1, 2, 3}) {
        int x = v;
        l.Add(&x);
    }
    int nine = 9;
    EXPECT_NE(l.InsertAt(0, &nine), nullptr);
    EXPECT_EQ(contents(), "9123");
    int eight = 8;
    EXPECT_NE(l.InsertAt(2, &eight), nullptr);
    EXPECT_EQ(contents(), "91823");
    EXPECT_EQ(l.InsertAt(1000, &eight), nullptr);
    EXPECT_EQ(contents(), "91823");

    EXPECT_EQ(l.Remove(1UL), 4u);
    EXPECT_EQ(contents(), "9823");
    EXPECT_EQ(l.Remove(100UL), 3u);  // beyond the end: the last record goes
    EXPECT_EQ(contents(), "982");
    EXPECT_EQ(l.Remove(l.Get(1)), 2u);
    EXPECT_EQ(contents(), "92");
    int other;
    EXPECT_EQ(l.Remove(&other), 2u);  // not a record: unchanged
    EXPECT_EQ(l.Remove(0UL), 1u);
    EXPECT_EQ(l.Remove(0UL), 0u);
    EXPECT_EQ(l.Remove(0UL), 0u);

    uint32_t cap = l.capacity;
    EXPECT_NE(l.Grow(5), nullptr);
    EXPECT_EQ(l.capacity, cap + 5);
}

TEST(XGE_List, FailedGrowthKeepsBlockAndCount)
{
    XGE_List l(sizeof(int), 2, 8);
    int a = 1, b = 2, c = 3;
    l.Add(&a);
    l.Add(&b);
    void* block = l.data;
    l.growBy = UINT32_MAX;  // the next growth would overflow the capacity
    EXPECT_EQ(l.Add(&c), nullptr);
    EXPECT_EQ(l.InsertAt(0, &c), nullptr);
    EXPECT_EQ(l.Grow(UINT32_MAX), nullptr);
    EXPECT_EQ(l.data, block);
    EXPECT_EQ(l.count, 2u);
    EXPECT_EQ(l.capacity, 2u);
    EXPECT_EQ(*static_cast<int*>(l.Get(1)), 2);
}

TEST(XGE_List, ZeroSizedRecordsAndEmptyLists)
{
    XGE_List zero;
    EXPECT_NE(zero.Add(nullptr), nullptr);
    EXPECT_EQ(zero.count, 1u);
    XGE_List none(16, 0, 8);
    EXPECT_EQ(none.data, nullptr);
    XGE_List* heap = new XGE_List;
    delete heap;  // no block yet: harmless
}

}  // namespace
