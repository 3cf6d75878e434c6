#include "Pdf/PdfObj.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "PdfBuilder.h"

using testpdf::Describe;

namespace {

PdfName* Name(const char* text)
{
    PdfName* n = new PdfName;
    n->str = strdup(text);
    return n;
}

PdfNumber* Num(int v)
{
    PdfNumber* n = new PdfNumber;
    n->value = v;
    return n;
}

TEST(PdfObj, PutReplacesValueAndKeepsFirstKey)
{
    PdfDict d;
    PdfName* first = Name("A");
    ASSERT_EQ(d.Put(first, Num(1)), 0);
    ASSERT_EQ(d.Put(Name("B"), Num(2)), 0);
    PdfName* again = Name("A");
    ASSERT_EQ(d.Put(again, Num(3)), 0);
    EXPECT_EQ(d.Length(), 2);
    EXPECT_EQ(d.entries[0].key, first);
    EXPECT_EQ(Describe(&d), "<</A 3 /B 2>>");
    delete again;  // not stored: stays with the caller

    // Putting the value an entry already holds must leave it alive.
    PdfObj* held = d.entries[1].value;
    PdfName* b = Name("B");
    ASSERT_EQ(d.Put(b, held), 0);
    delete b;
    EXPECT_EQ(Describe(d.entries[1].value), "2");

    // PutOwned releases the key it did not keep (the leak checker sees it otherwise).
    EXPECT_EQ(d.PutOwned(Name("A"), Num(4)), 0);
    EXPECT_EQ(d.PutOwned(Name("C"), Num(5)), 0);
    EXPECT_EQ(Describe(&d), "<</A 4 /B 2 /C 5>>");
    EXPECT_EQ(d.Put(nullptr, held), -1);
}

TEST(PdfObj, PutAndLookupKeepTheirRulesAroundTheIndex)
{
    // Below, at and past the size from which a dictionary indexes its keys, and far past it.
    const int from = PDF_DICT_INDEX_FROM;
    for (int n : {from - 1, from, from + 1, 5000}) {
        PdfDict d;
        std::vector<PdfName*> firstKeys;
        for (int i = 0; i < n; i++) {
            firstKeys.push_back(Name(("K" + std::to_string(i)).c_str()));
            ASSERT_EQ(d.Put(firstKeys.back(), Num(i)), 0);
        }
        // A key that differs by case only is another key.
        ASSERT_EQ(d.PutOwned(Name("k0"), Num(-1)), 0);
        // Every key again: the value is replaced, the first key object and position stay.
        for (int i = 0; i < n; i += 3)
            ASSERT_EQ(d.PutOwned(Name(("K" + std::to_string(i)).c_str()), Num(i * 10)), 0);
        ASSERT_EQ(d.Length(), n + 1) << n;
        for (int i = 0; i < n; i++) {
            ASSERT_EQ(d.entries[i].key, firstKeys[(size_t)i]) << n;
            PdfObj* v = PdfDictLookup(&d, ("K" + std::to_string(i)).c_str());
            ASSERT_NE(v, nullptr) << n << " " << i;
            EXPECT_EQ(static_cast<PdfNumber*>(v)->value, i % 3 == 0 ? i * 10 : i) << n << " " << i;
        }
        EXPECT_EQ(Describe(PdfDictLookup(&d, "k0")), "-1");
        EXPECT_EQ(d.entries[n].key->str, std::string("k0"));
        EXPECT_EQ(PdfDictLookup(&d, "K"), nullptr);
        EXPECT_EQ(PdfDictLookup(&d, ("K" + std::to_string(n)).c_str()), nullptr);
        EXPECT_EQ(PdfDictLookup(&d, ""), nullptr);
        EXPECT_EQ(PdfDictFindEntry(&d, "K1"), n > 1 ? &d.entries[1] : nullptr);

        // A copy follows the same rules.
        PdfObj* copy = d.Dup();
        EXPECT_EQ(Describe(copy), Describe(&d)) << n;
        EXPECT_EQ(Describe(PdfDictLookup(copy, ("K" + std::to_string(n - 1)).c_str())),
                  Describe(PdfDictLookup(&d, ("K" + std::to_string(n - 1)).c_str())));
        delete copy;
    }
}

TEST(PdfObj, LargeDictionariesBuildInNearLinearTime)
{
    // 200,000 keys: a comparison with every key present would take minutes.
    auto start = std::chrono::steady_clock::now();
    PdfDict d;
    for (int i = 0; i < 200000; i++)
        d.PutOwned(Name(("Key" + std::to_string(i)).c_str()), Num(i));
    for (int i = 0; i < 200000; i += 7)
        ASSERT_NE(PdfDictLookup(&d, ("Key" + std::to_string(i)).c_str()), nullptr);
    PdfObj* copy = d.Dup();
    EXPECT_EQ(copy->Length(), 200000);
    delete copy;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(PdfObj, DictGrowsByDoublingAfterFirstBlock)
{
    PdfDict d;
    d.growStep = 2;
    int caps[6];
    for (int i = 0; i < 6; i++) {
        char k[8];
        snprintf(k, sizeof k, "K%d", i);
        d.Put(Name(k), Num(i));
        caps[i] = d.capacity;
    }
    const int want[6] = {2, 2, 4, 4, 8, 8};
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(caps[i], want[i]) << i;
}

TEST(PdfObj, DupCopiesEveryType)
{
    PdfDict src;
    src.Put(Name("A"), Num(1));
    PdfString* s = new PdfString;
    s->str = (char*)malloc(4);
    memcpy(s->str, "a\0b", 4);
    s->len = 3;
    src.Put(Name("S"), s);
    PdfArray* a = new PdfArray;
    PdfIndirect* r = new PdfIndirect;
    r->refNum = 5;
    a->Append(r);
    PdfReal* real = new PdfReal;
    real->value = 2.5;
    a->Append(real);
    a->Append(new PdfNull);
    PdfName* nullName = new PdfName;
    a->Append(nullName);
    src.Put(Name("Arr"), a);
    PdfBool* odd = new PdfBool;
    odd->value = 2;  // only exactly 1 is true
    src.Put(Name("B"), odd);
    src.objNum = 9;
    src.owned = 1;

    PdfObj* copy = src.Dup();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(Describe(copy), "<</A 1 /S (a\\x00b) /Arr [5 0 R 2.5 null /<null>] /B false>>");
    EXPECT_EQ(copy->Length(), 4);
    EXPECT_EQ(static_cast<PdfString*>(static_cast<PdfDict*>(copy)->entries[1].value)->Length(), 3);
    EXPECT_EQ(copy->objNum, 0);
    EXPECT_EQ(copy->owned, 0);
    EXPECT_NE(copy->slot, src.slot);
    delete copy;
}

TEST(PdfObj, DupOfDictWithRepeatedKeyKeepsLaterValue)
{
    // The parser never makes such a dictionary; build it by hand.
    PdfDict src;
    src.Put(Name("A"), Num(1));
    src.Put(Name("X"), Num(2));
    free(src.entries[1].key->str);
    src.entries[1].key->str = strdup("A");
    PdfObj* copy = src.Dup();
    EXPECT_EQ(Describe(copy), "<</A 2>>");
    delete copy;
}

TEST(PdfObj, DupOfEmptyArrayCanGrow)
{
    PdfArray empty;
    PdfArray* copy = static_cast<PdfArray*>(empty.Dup());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->count, 0);
    EXPECT_EQ(copy->items, nullptr);
    // A grow step of 0 would hand the next append an empty block.
    for (int i = 0; i < 3; i++)
        ASSERT_EQ(copy->Append(Num(i)), 0);
    EXPECT_EQ(Describe(copy), "[0 1 2]");
    delete copy;
}

TEST(PdfObj, DupOfReservedStreamTypeIsNull)
{
    PdfNull odd;
    odd.type = PDF_STREAM;
    testing::internal::CaptureStdout();
    EXPECT_EQ(odd.Dup(), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "STREAM_OBJ\n");
    odd.type = 42;
    EXPECT_EQ(odd.Dup(), nullptr);
}

TEST(PdfObj, NameAssignment)
{
    PdfName a, b;
    b.str = strdup("Text");
    a = b;
    EXPECT_STREQ(a.str, "Text");
    EXPECT_NE(a.str, b.str);
    a = a;
    EXPECT_STREQ(a.str, "Text");
    PdfName none;
    a = none;
    EXPECT_EQ(a.str, nullptr);
}

TEST(PdfObj, RemoveObjReleasesOnlyOwnedObjects)
{
    PdfNumber* lent = Num(1);
    RemoveObj(lent);
    EXPECT_EQ(lent->value, 1);  // still alive
    delete lent;
    PdfNumber* made = Num(2);
    made->owned = 1;
    RemoveObj(made);  // the leak checker reports it if not released
    RemoveObj(nullptr);
}

TEST(PdfObj, RegistryWrapsAndSlotReuseIsSafe)
{
    uint32_t start = PdfObj::rcnt;
    PdfNumber* old = new PdfNumber;
    EXPECT_EQ(old->slot, start);
    EXPECT_EQ(PdfObj::refTable[start], old);
    for (int i = 1; i < PDF_REGISTRY_SLOTS; i++) {
        PdfNull n;
    }
    EXPECT_EQ(PdfObj::rcnt, start);  // 65,001 constructions: back where it began
    PdfNumber* newer = new PdfNumber;
    EXPECT_EQ(newer->slot, start);
    delete old;  // must not clear the slot the newer object now holds
    EXPECT_EQ(PdfObj::refTable[start], newer);
    delete newer;
    EXPECT_EQ(PdfObj::refTable[start], nullptr);
}

TEST(PdfObj, RealToIntTruncatesAndClamps)
{
    const struct { double in; int out; } cases[] = {
        {2.9, 2}, {-2.9, -2}, {1e300, 2147483647}, {-1e300, -2147483647 - 1}, {0.0 / 0.0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PdfRealToInt(c.in), c.out) << c.in;
}

}  // namespace
