// A read error that is not the end of the file: a POSIX system opens a directory as a file and
// fails its reads, where Windows refuses to open it at all.
#include "support/TestSupport.h"
#include "transfer/DataFile.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace Ostrel {
namespace {

TEST(GenericFile, AReadErrorIsNotTheEnd) {
    ScratchDirectory scratch;
    DataFile directory(scratch.Path().c_str());
    ASSERT_TRUE(directory.Open(false));
    char buffer[16];
    uint32_t got = 0;
    EXPECT_FALSE(directory.Read(buffer, 16, &got));
}

} // namespace
} // namespace Ostrel
