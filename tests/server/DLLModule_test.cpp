#include "server/DLLModule.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace Ostrel {
namespace {

std::string BracketedName(const char* path) {
    Text name("untouched");
    return DLLModule::BracketedModuleName(Text(path), &name) ? name.c_str() : "";
}

TEST(DLLModule, DirectoryIsThePathUpToItsLastSeparator) {
    EXPECT_STREQ(DLLModule::DirectoryOf(Text("/opt/pravell/lib/libpravell.so")).c_str(),
                 "/opt/pravell/lib/");
    EXPECT_STREQ(DLLModule::DirectoryOf(Text("/libpravell.so")).c_str(), "/");
    EXPECT_STREQ(DLLModule::DirectoryOf(Text("libpravell.so")).c_str(), "");
    EXPECT_STREQ(DLLModule::DirectoryOf(Text("")).c_str(), "");
}

TEST(DLLModule, BracketedTemporaryNamesNameAnotherModule) {
    EXPECT_EQ(BracketedName("/tmp/x/libpravell[libhost.so].tmp"), "libhost.so");
    EXPECT_EQ(BracketedName("/tmp/a[one].tmp/b[two].tmp"), "two");
    EXPECT_EQ(BracketedName("/tmp/a[b[c].tmp"), "c");
    // No name between the brackets, no "[", or the ending at the very start: no other module.
    EXPECT_EQ(BracketedName("/tmp/libpravell[].tmp"), "");
    EXPECT_EQ(BracketedName("/tmp/libpravell.tmp"), "");
    EXPECT_EQ(BracketedName("/tmp/libhost].tmp"), "");
    EXPECT_EQ(BracketedName("].tmp"), "");
    EXPECT_EQ(BracketedName("/tmp/libpravell.so"), "");
}

TEST(DLLModule, FindsTheFileOfTheModuleHoldingTheHandle) {
    // Any address inside a module is its handle; this one lies in the test executable.
    DLLModule module(reinterpret_cast<HMODULE>(&BracketedName));
    char* executable = realpath("/proc/self/exe", nullptr);
    ASSERT_NE(executable, nullptr);
    const std::string path = executable;
    std::free(executable);
    EXPECT_EQ(module.ModulePath().c_str(), path);
    EXPECT_EQ(module.TypeLibraryDirectory().c_str(), path.substr(0, path.rfind('/') + 1));
}

} // namespace
} // namespace Ostrel
