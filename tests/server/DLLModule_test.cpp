#include "server/DLLModule.h"

#include <gtest/gtest.h>

#include <string>

namespace Ostrel {
namespace {

std::string BracketedName(const char* path) {
    Text name("untouched");
    return DLLModule::BracketedModuleName(Text(path), &name) ? name.c_str() : "";
}

TEST(DLLModule, BracketedTemporaryNamesNameAnotherModule) {
    EXPECT_EQ(BracketedName("/tmp/a[one].tmp/b[two].tmp"), "two");
    EXPECT_EQ(BracketedName("/tmp/a[b[c].tmp"), "c");
    // No name between the brackets, no "[", or the ending at the very start: no other module.
    EXPECT_EQ(BracketedName("/tmp/libpravell[].tmp"), "");
    EXPECT_EQ(BracketedName("/tmp/libpravell.tmp"), "");
    EXPECT_EQ(BracketedName("/tmp/libhost].tmp"), "");
    EXPECT_EQ(BracketedName("].tmp"), "");
}

} // namespace
} // namespace Ostrel
