#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "PageTreeDoc.h"

using pagetreetest::Doc;
using pagetreetest::Name;
using testpdf::Describe;

namespace {

// Values of every kind under one dictionary, some behind references.
struct GetterDoc {
    GetterDoc()
        : doc({{1, "<< /Type /Catalog /Pages 2 0 R >>"},
               {2, "<< /Type /Pages /Kids [] /Count 0 >>"},
               {10, "<< /Count 7 /Len 12 0 R /Real 2.5 /RealRef 13 0 R /Neg -2.9 /Int 3 /Name /Page"
                    " /Str (ab\\000c) /Empty / /Arr [1 2 3] /ArrRef 14 0 R /D1 << /A 1 /B 2 >>"
                    " /D2 << /B 3 >> /Null null /Chain 15 0 R /Missing 99 0 R /Free 16 0 R"
                    " /Items [5 2.5 /N null 13 0 R] >>"},
               {12, "4711"},
               {13, "2.5"},
               {14, "[7 8]"},
               {15, "12 0 R"},
               {17, "null"}},
              20)
    {
        ParseIndirectObject(&dict, doc.xref, 10, 0, doc.xref->buf, sizeof doc.xref->buf);
    }
    ~GetterDoc() { delete dict; }
    PdfArray* Items()
    {
        PdfArray* items = nullptr;
        PdfDict* d = static_cast<PdfDict*>(dict);
        for (int i = 0; i < d->count; i++)
            if (strcmp(d->entries[i].key->str, "Items") == 0)
                items = static_cast<PdfArray*>(d->entries[i].value);
        return items;
    }
    Doc doc;
    PdfObj* dict = nullptr;
};

TEST(DictGetters, NumbersAreTypeCheckedAndFollowOneReference)
{
    GetterDoc g;
    ASSERT_NE(g.dict, nullptr);
    struct Case { const char* key; int result; int value; };
    const Case cases[] = {
        {"Count", 0, 7},     {"Len", 0, 4711},   {"Real", 0, 2},      {"Neg", 0, -2},
        {"Name", -1, -5},    {"Str", -1, -5},    {"Arr", -1, -5},     {"Null", -1, -5},
        {"Chain", -1, -5},   {"Missing", -1, -5}, {"Free", -1, -5},   {"Absent", -1, -5},
    };
    for (const Case& c : cases) {
        PdfNumber out;
        out.value = -5;
        Name key(c.key);
        EXPECT_EQ(g.doc.tree->GetNumber(out, &key, g.dict), c.result) << c.key;
        EXPECT_EQ(out.value, c.value) << c.key;
    }

    PdfArray* items = g.Items();
    ASSERT_NE(items, nullptr);
    struct Item { int index; int result; int value; };
    const Item byIndex[] = {{0, 0, 5}, {1, 0, 2}, {2, -1, -5}, {3, -1, -5}, {4, 0, 2}, {5, -1, -5}, {-1, -1, -5}};
    for (const Item& c : byIndex) {
        PdfNumber out;
        out.value = -5;
        EXPECT_EQ(g.doc.tree->GetNumber(out, c.index, items), c.result) << c.index;
        EXPECT_EQ(out.value, c.value) << c.index;
    }
}

TEST(DictGetters, Reals)
{
    GetterDoc g;
    struct Case { const char* key; int result; double value; };
    const Case cases[] = {
        {"Int", 0, 3.0}, {"Real", 0, 2.5}, {"RealRef", 0, 2.5}, {"Len", 0, 4711.0},
        {"Name", -1, -1.5}, {"Str", -1, -1.5}, {"Absent", -1, -1.5}, {"Null", -1, -1.5},
    };
    for (const Case& c : cases) {
        PdfReal out;
        out.value = -1.5;
        Name key(c.key);
        EXPECT_EQ(g.doc.tree->GetReal(out, &key, g.dict), c.result) << c.key;
        EXPECT_DOUBLE_EQ(out.value, c.value) << c.key;
    }
}

TEST(DictGetters, NamesAlwaysLeaveText)
{
    GetterDoc g;
    struct Case { const char* key; int result; const char* text; };
    const Case cases[] = {
        {"Name", 0, "Page"}, {"Str", 0, "ab"}, {"Empty", 0, ""},
        {"Absent", -1, ""},  {"Count", -1, ""}, {"Null", -1, ""},
    };
    for (const Case& c : cases) {
        Name out("junk");
        Name key(c.key);
        EXPECT_EQ(g.doc.tree->GetName(out, &key, g.dict), c.result) << c.key;
        ASSERT_NE(out.str, nullptr) << c.key;
        EXPECT_STREQ(out.str, c.text) << c.key;
    }

    PdfArray* items = g.Items();
    Name out("junk");
    EXPECT_EQ(g.doc.tree->GetName(out, 2, items), 0);
    EXPECT_STREQ(out.str, "N");
    EXPECT_EQ(g.doc.tree->GetName(out, 0, items), -1);
    EXPECT_STREQ(out.str, "");

    // A name object without text (none of the parsers makes one) reads as the empty text.
    PdfDict d;
    d.Put(new Name("K"), new PdfName);
    Name key("K");
    Name bare("junk");
    EXPECT_EQ(g.doc.tree->GetName(bare, &key, &d), 0);
    ASSERT_NE(bare.str, nullptr);
    EXPECT_STREQ(bare.str, "");
}

TEST(DictGetters, ArraysAndDictionariesAreCopiedAndMerged)
{
    GetterDoc g;
    PdfArray arr;
    PdfNumber* zero = new PdfNumber;
    arr.Append(zero);
    Name arrKey("Arr"), arrRef("ArrRef"), count("Count");
    EXPECT_EQ(g.doc.tree->GetArray(arr, &arrKey, g.dict), 0);
    EXPECT_EQ(g.doc.tree->GetArray(arr, &arrRef, g.dict), 0);
    EXPECT_EQ(g.doc.tree->GetArray(arr, &count, g.dict), -1);
    EXPECT_EQ(Describe(&arr), "[0 1 2 3 7 8]");

    PdfDict d;
    Name d1("D1"), d2("D2");
    EXPECT_EQ(g.doc.tree->GetDict(d, &d1, g.dict), 0);
    EXPECT_EQ(g.doc.tree->GetDict(d, &d2, g.dict), 0);
    EXPECT_EQ(g.doc.tree->GetDict(d, &arrKey, g.dict), -1);
    EXPECT_EQ(Describe(&d), "<</A 1 /B 3>>");

    // The copies are the caller's: the source tree is untouched by later changes.
    delete g.dict;
    g.dict = nullptr;
    EXPECT_EQ(Describe(&arr), "[0 1 2 3 7 8]");
    EXPECT_EQ(Describe(&d), "<</A 1 /B 3>>");
}

TEST(DictGetters, OnlyDirectDictionariesAndRealKeysAreSearched)
{
    GetterDoc g;
    PdfArray* items = g.Items();
    Name count("Count");
    PdfIndirect ref;
    ref.refNum = 10;
    PdfName noText;
    PdfNumber out;
    out.value = -5;
    EXPECT_EQ(g.doc.tree->GetNumber(out, &count, items), -1);
    EXPECT_EQ(g.doc.tree->GetNumber(out, &count, &ref), -1);
    EXPECT_EQ(g.doc.tree->GetNumber(out, &count, nullptr), -1);
    EXPECT_EQ(g.doc.tree->GetNumber(out, nullptr, g.dict), -1);
    EXPECT_EQ(g.doc.tree->GetNumber(out, &noText, g.dict), -1);
    EXPECT_EQ(g.doc.tree->GetNumber(out, 0, nullptr), -1);
    EXPECT_EQ(out.value, -5);
}

}  // namespace
