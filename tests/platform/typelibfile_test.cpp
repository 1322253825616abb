#include "platform/com.h"
#include "support/TestSupport.h"
#include "support/TypeLibSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

bool IsCleanFailure(HRESULT result) {
    return result == TYPE_E_INVDATAREAD || result == TYPE_E_UNSUPFORMAT;
}

class TypeLibFile : public ::testing::Test {
protected:
    HRESULT Load(const std::string& text) {
        // A new file each time: rewriting one in place makes ext4 flush it on every close.
        std::remove(path.c_str());
        WriteWholeFile(path, text);
        ITypeLib* library = reinterpret_cast<ITypeLib*>(&path);
        HRESULT result = LoadTypeLib(Wide(path).c_str(), &library);
        if (SUCCEEDED(result)) {
            Walk(library);
            library->Release();
        } else {
            EXPECT_EQ(library, nullptr);
        }
        return result;
    }

    // Reads every description of a library that loaded, so that damage that slipped through
    // the reader shows up here (under the sanitizers) rather than in a host.
    static void Walk(ITypeLib* library) {
        for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
            ITypeInfo* info = nullptr;
            ASSERT_EQ(library->GetTypeInfo(i, &info), S_OK);
            WalkInfo(info);
            HREFTYPE reference = 0;
            ITypeInfo* half = nullptr;
            if (info->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference) == S_OK &&
                info->GetRefTypeInfo(reference, &half) == S_OK) {
                WalkInfo(half);
                half->Release();
            }
            info->Release();
        }
    }

    static void WalkInfo(ITypeInfo* info) {
        TYPEATTR* attributes = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
        for (UINT f = 0; f < attributes->cFuncs; ++f) {
            FUNCDESC* function = nullptr;
            ASSERT_EQ(info->GetFuncDesc(f, &function), S_OK);
            for (SHORT p = 0; p < function->cParams; ++p) {
                const TYPEDESC& inner = Innermost(function->lprgelemdescParam[p].tdesc);
                ITypeInfo* target = nullptr;
                if (inner.vt == VT_USERDEFINED) {
                    EXPECT_EQ(info->GetRefTypeInfo(inner.hreftype, &target), S_OK);
                    target->Release();
                }
            }
            info->ReleaseFuncDesc(function);
        }
        for (UINT i = 0; i < attributes->cImplTypes; ++i) {
            HREFTYPE reference = 0;
            ITypeInfo* target = nullptr;
            ASSERT_EQ(info->GetRefTypeOfImplType(i, &reference), S_OK);
            ASSERT_EQ(info->GetRefTypeInfo(reference, &target), S_OK);
            target->Release();
        }
        info->ReleaseTypeAttr(attributes);
    }

    ScratchDirectory directory;
    std::string path = directory.Path() + "/library.tlb";
};

TEST_F(TypeLibFile, EveryTruncationOfARealLibraryFailsCleanly) {
    std::string text = ReadWholeFile(BuiltLibraryPath("pravell"));
    ASSERT_GT(text.size(), 1000u);
    EXPECT_EQ(Load(text), S_OK);
    for (size_t length = 0; length < text.size(); ++length) {
        HRESULT result = Load(text.substr(0, length));
        ASSERT_TRUE(IsCleanFailure(result)) << "cut at " << length << ": " << std::hex << result;
    }
}

TEST_F(TypeLibFile, DamagedBytesNeverCrashTheReader) {
    std::string text = ReadWholeFile(BuiltLibraryPath("utils"));
    ASSERT_FALSE(text.empty());
    const char replacements[] = {'\0', ' ', '\n', '"', '*', 'x', '9', '\xff'};
    for (size_t at = 0; at < text.size(); ++at) {
        for (char replacement : replacements) {
            std::string damaged = text;
            damaged[at] = replacement;
            HRESULT result = Load(damaged);
            ASSERT_TRUE(result == S_OK || IsCleanFailure(result))
                << "byte " << at << ": " << std::hex << result;
        }
    }
}

TEST_F(TypeLibFile, WrongFormatsAndVersionsAreNotTypeLibraries) {
    std::string text = ReadWholeFile(BuiltLibraryPath("utils"));
    EXPECT_EQ(Load(""), TYPE_E_UNSUPFORMAT);
    EXPECT_EQ(Load("MSFT\x02\x00\x01\x00garbage"), TYPE_E_UNSUPFORMAT);
    std::string later = text;
    later.replace(0, text.find('\n'), "pravell-typelib 2");
    EXPECT_EQ(Load(later), TYPE_E_UNSUPFORMAT);
    EXPECT_EQ(Load(text + "types 1\n"), TYPE_E_INVDATAREAD) << "nothing may follow the end";
    EXPECT_EQ(Load(text + "# a comment\n\n"), S_OK);
    EXPECT_EQ(Load(text + "#" + std::string(4u << 20, 'x') + "\n"), TYPE_E_INVDATAREAD)
        << "larger than any type library";

    ITypeLib* library = reinterpret_cast<ITypeLib*>(&text);
    EXPECT_EQ(LoadTypeLib(Wide(directory.Path() + "/missing.tlb").c_str(), &library),
              TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(library, nullptr);
    EXPECT_EQ(LoadTypeLib(Wide(directory.Path()).c_str(), &library), TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(LoadTypeLib(OLESTR(""), &library), TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(LoadTypeLib(nullptr, &library), E_INVALIDARG);
    EXPECT_EQ(LoadTypeLib(Wide(path).c_str(), nullptr), E_INVALIDARG);
}

std::string Library(const std::string& types, int count) {
    return "pravell-typelib 1\n"
           "library L {4912BE5F-26CC-42B3-A464-43445DB0E09F} 1.0 0 win32 \"\"\n"
           "types " +
           std::to_string(count) + "\n" + types + "end\n";
}

const std::string header = "interface I {79414458-7B2B-4137-98FC-894159DDBE96} 0.0 dual ";

TEST_F(TypeLibFile, InconsistentContentIsDamage) {
    std::string one = header + "IDispatch 1 \"\"\n  function F 1 func - hresult 1 \"\"\n";
    EXPECT_EQ(Load(Library(one + "    param p in bstr\n", 1)), S_OK);
    // Counts larger than what follows, or larger than any description can hold.
    EXPECT_EQ(Load(Library(one + "    param p in bstr\n", 65535)), TYPE_E_INVDATAREAD);
    EXPECT_EQ(Load(Library(one + "    param p in bstr\n", 99999999)), TYPE_E_INVDATAREAD);
    EXPECT_EQ(Load(Library(header + "IDispatch 4000000000 \"\"\n", 1)), TYPE_E_INVDATAREAD);
    EXPECT_EQ(Load(Library(one, 1)), TYPE_E_INVDATAREAD) << "a parameter is missing";
    // Names that resolve to nothing, or to the wrong kind of type.
    EXPECT_EQ(Load(Library(one + "    param p in @Nowhere*\n", 1)), TYPE_E_INVDATAREAD);
    EXPECT_EQ(Load(Library(header + "Nowhere 0 \"\"\n", 1)), TYPE_E_INVDATAREAD);
    EXPECT_EQ(Load(Library(header + "IDispatch 0 \"\"\n" + header + "IDispatch 0 \"\"\n", 2)),
              TYPE_E_INVDATAREAD)
        << "two types of one name";
    EXPECT_EQ(Load(Library("coclass C {79414458-7B2B-4137-98FC-894159DDBE96} 0.0 - 1 \"\"\n"
                           "  implements C default\n",
                           1)),
              TYPE_E_INVDATAREAD);
    // Interfaces that derive from each other.
    std::string cycle = "interface A {79414458-7B2B-4137-98FC-894159DDBE96} 0.0 - B 0 \"\"\n"
                        "interface B {79414458-7B2B-4137-98FC-894159DDBE97} 0.0 - A 0 \"\"\n";
    EXPECT_EQ(Load(Library(cycle, 2)), TYPE_E_INVDATAREAD);
    // Types nested deeper than any declaration makes them.
    std::string deep = "bstr";
    for (int i = 0; i < 100; ++i) {
        deep = "safearray(" + deep + ")";
    }
    EXPECT_EQ(Load(Library(one + "    param p in " + deep + "\n", 1)), TYPE_E_INVDATAREAD);
    EXPECT_EQ(Load(Library(one + "    param p in bstr" + std::string(100, '*') + "\n", 1)),
              TYPE_E_INVDATAREAD);
    // Fields out of their place or range.
    EXPECT_EQ(Load(Library(one + "    param p sideways bstr\n", 1)), TYPE_E_INVDATAREAD);
    EXPECT_EQ(Load(Library(one + "    param p in bstr extra\n", 1)), TYPE_E_INVDATAREAD);
    EXPECT_EQ(Load(Library(one + "    param \"p\" in bstr\n", 1)), TYPE_E_INVDATAREAD);
    EXPECT_EQ(Load(Library(one + "    param p in bstr\n", 1) + "trailing"), TYPE_E_INVDATAREAD);
}

TEST_F(TypeLibFile, LargestVirtualTablesStillFitTheirOffsets) {
    auto withFunctions = [](int count) {
        std::string functions;
        for (int i = 0; i < count; ++i) {
            functions += "  function F" + std::to_string(i) + " " + std::to_string(i + 1) +
                         " func - hresult 0 \"\"\n";
        }
        return Library(header + "IDispatch " + std::to_string(count) + " \"\"\n" + functions, 1);
    };
    // Offsets are SHORTs: 4095 slots of 8 bytes is the most an interface can have.
    EXPECT_EQ(Load(withFunctions(4095 - 7)), S_OK);
    EXPECT_EQ(Load(withFunctions(4096 - 7)), TYPE_E_INVDATAREAD);
}

} // namespace
