#include "Xps/InternalResource.h"

#include <cstring>
#include <gtest/gtest.h>

#include "TestUtil.h"

namespace {

unsigned BigEndian32(const unsigned char* p)
{
    return (unsigned)p[0] << 24 | (unsigned)p[1] << 16 | (unsigned)p[2] << 8 | p[3];
}

TEST(InternalResource, CmykProfileIsAWholeCmykOutputProfile)
{
    const char* name = nullptr;
    const unsigned char* data = nullptr;
    int size = 0;
    ASSERT_EQ(0, GetInternalResource(INTERNAL_RESOURCE_CMYK_PROFILE, &name, &data, &size));
    EXPECT_STREQ("SWOP.ICC", name);
    EXPECT_EQ(SwapIccSize, size);
    ASSERT_GT(size, 128);
    EXPECT_EQ((unsigned)size, BigEndian32(data));  // the header gives its own size
    EXPECT_EQ(2, data[8]);                         // version 2
    EXPECT_EQ(0, memcmp(data + 12, "prtr", 4));
    EXPECT_EQ(0, memcmp(data + 16, "CMYK", 4));
    EXPECT_EQ(0, memcmp(data + 20, "Lab ", 4));
    EXPECT_EQ(0, memcmp(data + 36, "acsp", 4));

    // When the distribution's profile is installed, the embedded bytes are exactly its bytes.
    const std::string source = "/usr/share/color/icc/ghostscript/default_cmyk.icc";
    if (testutil::FileExists(source)) {
        EXPECT_EQ(testutil::ReadFile(source), std::string((const char*)data, (size_t)size));
    }
}

TEST(InternalResource, UnknownIdsLeaveTheOutputsAlone)
{
    for (InternalResource id : {0, 2, -1, 1000}) {
        const char* name = "unset";
        const unsigned char* data = nullptr;
        int size = -7;
        EXPECT_EQ(-1, GetInternalResource(id, &name, &data, &size)) << id;
        EXPECT_STREQ("unset", name);
        EXPECT_EQ(nullptr, data);
        EXPECT_EQ(-7, size);
    }
}

}  // namespace
