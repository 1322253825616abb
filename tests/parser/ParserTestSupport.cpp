#include "ParserTestSupport.h"

#include "platform/typelibsupport.h"
#include "server/CountedObject.h"
#include "server/DispatchClassInfo.h"

namespace Ostrel::Testing {

void ParserTest::SetUp() {
    DispatchClassInfo::ReleaseAll();
    liveAtStart = LiveObjectCount();
}

void ParserTest::TearDown() {
    EXPECT_EQ(LiveObjectCount(), liveAtStart) << "an object outlived the test";
    DispatchClassInfo::ReleaseAll();
}

void ParserTest::Register(const std::string& name) {
    ITypeLib* library = LoadBuiltLibrary(name);
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(RegisterTypeLib(library, Wide(BuiltLibraryPath(name)).c_str(), nullptr), S_OK);
    library->Release();
}

Bstr::Bstr(const std::string& utf8) {
    const OleText wide = Wide(utf8);
    value = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string Utf8(const OLECHAR* text, UINT length) {
    if (text == nullptr || length == 0) {
        return std::string();
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &narrow[0], size, nullptr,
                        nullptr);
    return narrow;
}

std::string Utf8(BSTR text) {
    return Utf8(text, SysStringLen(text));
}

std::string TakeUtf8(BSTR text) {
    std::string narrow = Utf8(text);
    SysFreeString(text);
    return narrow;
}

} // namespace Ostrel::Testing
