#include "platform/com.h"
#include "support/TestSupport.h"
#include "support/TypeLibSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <vector>

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

// libraries.txt: cases of "== RESULT what it shows" followed by the file's lines.
TEST_F(TypeLibFile, LibrariesAsTheTableSays) {
    const std::map<std::string, HRESULT> results = {{"S_OK", S_OK},
                                                    {"TYPE_E_UNSUPFORMAT", TYPE_E_UNSUPFORMAT},
                                                    {"TYPE_E_INVDATAREAD", TYPE_E_INVDATAREAD}};
    std::ifstream table(PRAVELL_TEST_DATA "/typelibs/libraries.txt");
    std::vector<std::pair<std::string, std::string>> cases;
    for (std::string line; std::getline(table, line);) {
        if (line.compare(0, 3, "== ") == 0) {
            cases.emplace_back(line.substr(3), "");
        } else if (!cases.empty()) {
            cases.back().second += line + "\n";
        }
    }
    for (const auto& [heading, text] : cases) {
        EXPECT_EQ(Load(text), results.at(heading.substr(0, heading.find(' ')))) << heading;
    }
    EXPECT_GT(cases.size(), 20u);
}

TEST_F(TypeLibFile, LargerThanAnyLibraryOrNoFileAtAll) {
    std::string text = ReadWholeFile(BuiltLibraryPath("utils"));
    EXPECT_EQ(Load(text + "#" + std::string(4u << 20, 'x') + "\n"), TYPE_E_INVDATAREAD);
    ITypeLib* library = reinterpret_cast<ITypeLib*>(&text);
    EXPECT_EQ(LoadTypeLib(Wide(directory.Path() + "/missing.tlb").c_str(), &library),
              TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(library, nullptr);
    EXPECT_EQ(LoadTypeLib(Wide(directory.Path()).c_str(), &library), TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(LoadTypeLib(OLESTR(""), &library), TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(LoadTypeLib(nullptr, &library), E_INVALIDARG);
    EXPECT_EQ(LoadTypeLib(Wide(path).c_str(), nullptr), E_INVALIDARG);
}

TEST_F(TypeLibFile, LargestVirtualTablesStillFitTheirOffsets) {
    auto withFunctions = [](int count) {
        std::string text =
            "pravell-typelib 1\n"
            "library L {4912BE5F-26CC-42B3-A464-43445DB0E09F} 1.0 0 win32 \"\"\n"
            "types 1\n"
            "interface I {79414458-7B2B-4137-98FC-894159DDBE96} 0.0 dual IDispatch " +
            std::to_string(count) + " \"\"\n";
        for (int i = 0; i < count; ++i) {
            text += "  function F" + std::to_string(i) + " " + std::to_string(i + 1) +
                    " func - hresult 0 \"\"\n";
        }
        return text + "end\n";
    };
    // Offsets are SHORTs: 4095 slots of 8 bytes is the most an interface can have.
    EXPECT_EQ(Load(withFunctions(4095 - 7)), S_OK);
    EXPECT_EQ(Load(withFunctions(4096 - 7)), TYPE_E_INVDATAREAD);
}

} // namespace
