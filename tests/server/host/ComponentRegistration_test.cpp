// What the library writes to the registry file when an installer registers it, and what
// unregistration leaves: the exact keys of data/server/registered.reg and unregistered.reg.
#include "host/ComponentLibrary.h"
#include "support/PrivateRegistry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

namespace {

namespace fs = std::filesystem;
using Ostrel::ComponentLibrary;

// The registry file data/server/<name> with $MODULE standing for the library's path and
// $TYPELIBS for the folder its type libraries were registered from.
std::string ExpectedRegistry(const std::string& name, const std::string& module = "",
                             const std::string& typeLibraries = "") {
    std::string text = ReadWholeFile(std::string(PRAVELL_TEST_DATA) + "/server/" + name);
    for (const auto& [placeholder, value] :
         {std::pair<std::string, std::string>("$MODULE", module), {"$TYPELIBS", typeLibraries}}) {
        for (size_t at = text.find(placeholder); at != std::string::npos;
             at = text.find(placeholder, at + value.size())) {
            text.replace(at, placeholder.size(), value);
        }
    }
    return text;
}

// A copy of the library, loaded by a name relative to the current folder, registers its whole
// absolute path, even deeper than the classic 260 characters. Under a temporary name
// "...[<module>].tmp", as installers load it, it registers the type libraries beside <module> (the
// name between the last "[" and the last "].tmp"), or beside the executable when no such module is
// loaded; other names register them beside the library. Unregistration leaves nothing, a stray
// LocalServer32 included; a second one answers the first type library's failure: a version that is
// not registered.
TEST(ComponentRegistration, WritesWholePathsAndUnregistrationLeavesNothing) {
    PrivateRegistry registry;
    ScratchDirectory scratch;
    const fs::path root = fs::canonical(scratch.Path());
    const fs::path deep = fs::path(std::string(150, 'd')) / std::string(150, 'e');
    // Another module, loaded: the library's first copy lies beside it.
    const fs::path other = root / deep;
    fs::create_directories(other);
    fs::copy_file(PRAVELL_TEST_SERVER, other / "libother-module.so");
    const ComponentLibrary otherModule((other / "libother-module.so").string());
    ASSERT_TRUE(otherModule.IsLoaded()) << otherModule.LoadFailure();
    const fs::path previous = fs::current_path();
    fs::current_path(root);
    for (const auto& [name, typeLibraries] :
         {std::pair(deep / "libpravell.so", other),
          {"libpravell[libother-module.so].tmp", other},
          {"x[libnot-loaded.so].tmp/libpravell[x[libother-module.so].tmp", other},
          {"libpravell[libnot-loaded.so].tmp", fs::canonical("/proc/self/exe").parent_path()},
          {"libpravell[].tmp", root},
          {"libpravell].tmp", root}}) {
        SCOPED_TRACE(name);
        fs::create_directories(root / name.parent_path());
        fs::copy_file(PRAVELL_COMPONENT, name);
        for (const char* file : {"pravell.tlb", "utils.tlb"}) {
            fs::copy_file(fs::path(PRAVELL_BIN_DIR) / file, root / name.parent_path() / file,
                          fs::copy_options::skip_existing);
        }
        const ComponentLibrary component((fs::path(".") / name).string());
        EXPECT_TRUE(component.IsLoaded()) << component.LoadFailure();
        EXPECT_EQ(component.Register(), S_OK);
        EXPECT_EQ(
            ReadWholeFile(registry.Path()),
            ExpectedRegistry("registered.reg", (root / name).string(), typeLibraries.string()));
        EXPECT_EQ(SetRegistryString("CLSID\\{4F8D6B61-FE7A-4364-A002-4AC12BCD31B3}\\LocalServer32",
                                    "stray"),
                  ERROR_SUCCESS);
        EXPECT_EQ(component.Unregister(), S_OK);
        EXPECT_EQ(ReadWholeFile(registry.Path()), ExpectedRegistry("unregistered.reg"));
        EXPECT_EQ(component.Unregister(), E_INVALIDARG);
    }
    fs::current_path(previous);
}

} // namespace
