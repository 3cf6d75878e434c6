#include "Interpreter/ResourceUse.h"

#include <gtest/gtest.h>

#include <string>

TEST(ResourceUse, OneRecordPerPageAndResource)
{
    XGE_List list(sizeof(ResourceRecord), 2, 2);
    ResourceRecord* first = AddResource(&list, 0, 15);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(AddResource(&list, 0, 15), first);  // same page and object: the record found
    AddResource(&list, 1, 15);                     // another page: a record of its own
    AddResource(&list, 0, 16);
    AddResource(&list, 0, 15);
    ASSERT_EQ(list.count, 3u);
    auto at = [&](unsigned i) { return *static_cast<ResourceRecord*>(list.Get(i)); };
    EXPECT_EQ(at(0).page, 0);
    EXPECT_EQ(at(0).objNum, 15);
    EXPECT_EQ(at(1).page, 1);
    EXPECT_EQ(at(2).objNum, 16);

    XGE_List internal(sizeof(IResourceRecord), 2, 2);
    AddIResource(&internal, 0, INTERNAL_RESOURCE_CMYK_PROFILE);
    AddIResource(&internal, 0, INTERNAL_RESOURCE_CMYK_PROFILE);
    AddIResource(&internal, 2, INTERNAL_RESOURCE_CMYK_PROFILE);
    EXPECT_EQ(internal.count, 2u);

    // A list of other records is never written with records of the wrong size.
    XGE_List wrong(264, 2, 2);
    EXPECT_EQ(AddResource(&wrong, 0, 1), nullptr);
    EXPECT_EQ(wrong.count, 0u);
}

TEST(ResourceUse, InlinePathsByPageAndText)
{
    XGE_List list(sizeof(InlineRecord), 2, 2);
    EXPECT_EQ(CheckInlineResource(&list, "/t/IMG_IL_004_1.png"), 0);  // empty list
    AddInlineResource(&list, 0, "/t/IMG_IL_004_1.png");
    AddInlineResource(&list, 0, "/t/IMG_IL_004_1.png");
    AddInlineResource(&list, 1, "/t/IMG_IL_004_1.png");
    AddInlineResource(&list, 0, "/t/IMG_IL_004_2.png");
    EXPECT_EQ(list.count, 3u);
    EXPECT_EQ(CheckInlineResource(&list, "/t/IMG_IL_004_2.png"), 1);
    EXPECT_EQ(CheckInlineResource(&list, "/t/IMG_IL_004_3.png"), 0);

    // 259 bytes fit with the terminator, 260 do not.
    std::string fits(259, 'a'), tooLong(260, 'a');
    EXPECT_NE(AddInlineResource(&list, 0, fits.c_str()), nullptr);
    EXPECT_EQ(AddInlineResource(&list, 0, tooLong.c_str()), nullptr);
    EXPECT_EQ(list.count, 4u);
    EXPECT_EQ(CheckInlineResource(&list, tooLong.c_str()), 0);
}

TEST(ResourceUse, WidthOfCode)
{
    double codes[] = {32, 65, 65};
    double widths[] = {250, 600, 700};
    EXPECT_EQ(GetWidth(65, codes, widths, 3), 600);  // the first match
    EXPECT_EQ(GetWidth(66, codes, widths, 3), 0.0);
    EXPECT_EQ(GetWidth(65, codes, widths, 1), 0.0);  // only the first `count` codes
    EXPECT_EQ(GetWidth(32, codes, widths, 0), 0.0);
}
