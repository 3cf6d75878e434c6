#include "Apps/converter/OldMain.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

#include "Pdf/PdfObj.h"

namespace {

std::string Dump(PdfObj* const* table, uint32_t count)
{
    char* text = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&text, &size);
    DumpObjects(out, table, count);
    fclose(out);
    std::string result(text, size);
    free(text);
    return result;
}

std::string DumpRegistry()
{
    char* text = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&text, &size);
    DumpLiveObjects(out);
    fclose(out);
    std::string result(text, size);
    free(text);
    return result;
}

TEST(ObjectDump, OneObjectLeftPrintsItsSlotAndTypeName)
{
    struct Case { int code; const char* line; };
    const Case cases[] = {
        {PDF_NULL, "OBJECT 12 : TYPE NULL__OBJ"},
        {PDF_DICT, "OBJECT 12 : TYPE DICT_OBJ"},
        {PDF_STRING, "OBJECT 12 : TYPE STRING_OBJ"},
        {PDF_NUMBER, "OBJECT 12 : TYPE NUMBER_OBJ"},
        {PDF_ARRAY, "OBJECT 12 : TYPE ARRAY_OBJ"},
        {PDF_NAME, "OBJECT 12 : TYPE NAME_OBJ"},
        {PDF_STREAM, "OBJECT 12 : TYPE STREAM_OBJ"},
        {PDF_BOOL, "OBJECT 12 : TYPE BOOL_OBJ"},
        {PDF_INDIRECT, "OBJECT 12 : TYPE INDIRECT_OBJ"},
        {PDF_REAL, "OBJECT 12 : TYPE "},  // a real has no name of its own
        {42, "OBJECT 12 : TYPE "},
        {-1, "OBJECT 12 : TYPE "},
    };
    for (const Case& c : cases) {
        PdfNull obj;
        obj.type = c.code;
        PdfObj* table[13] = {};
        table[12] = &obj;
        EXPECT_EQ(Dump(table, 13), std::string("<!--\n") + c.line + "\n\n\n-->\n") << c.code;
    }
}

TEST(ObjectDump, OneCommentAroundAllObjectsAndNothingWhenEmpty)
{
    PdfArray array;
    PdfName name;
    PdfObj* table[6] = {nullptr, &array, nullptr, nullptr, &name, nullptr};
    EXPECT_EQ(Dump(table, 6),
              "<!--\n"
              "OBJECT 1 : TYPE ARRAY_OBJ\n\n"
              "OBJECT 4 : TYPE NAME_OBJ\n\n"
              "\n-->\n");
    // Slots at or above the count are not looked at.
    EXPECT_EQ(Dump(table, 1), "");
    PdfObj* empty[4] = {};
    EXPECT_EQ(Dump(empty, 4), "");
}

TEST(ObjectDump, RegistryShowsLiveObjectsBelowTheCursorOnly)
{
    PdfDict* dict = new PdfDict();
    uint32_t slot = dict->slot;
    const std::string line = "OBJECT " + std::to_string(slot) + " : TYPE DICT_OBJ\n";
    EXPECT_NE(DumpRegistry().find(line), std::string::npos);

    // After the cursor wrapped past it, the slot is no longer examined.
    uint32_t cursor = PdfObj::rcnt;
    PdfObj::rcnt = slot;
    EXPECT_EQ(DumpRegistry().find(line), std::string::npos);
    PdfObj::rcnt = cursor;

    delete dict;
    EXPECT_EQ(DumpRegistry().find(line), std::string::npos);
}

}  // namespace
