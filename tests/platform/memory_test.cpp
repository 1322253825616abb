#include "platform/com.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// A region reads as zero and keeps what is written anywhere in it; it is released whole, from
// its start, once. An empty region is refused.
TEST(VirtualMemory, RegionsAreZeroedWritableAndReleasedWhole) {
    const SIZE_T size = (SIZE_T{2} << 20) + 1;
    auto* region = static_cast<unsigned char*>(
        VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(region, nullptr);
    EXPECT_EQ(region[0] | region[size / 2] | region[size - 1], 0);
    std::memset(region, 0x5A, size);
    EXPECT_FALSE(VirtualFree(region, size, MEM_RELEASE)) << "a release names no size";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(VirtualFree(region + 4096, 0, MEM_RELEASE));
    EXPECT_EQ(region[size - 1], 0x5A);
    EXPECT_TRUE(VirtualFree(region, 0, MEM_RELEASE));
    EXPECT_FALSE(VirtualFree(region, 0, MEM_RELEASE));
    EXPECT_EQ(VirtualAlloc(nullptr, 0, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

} // namespace
