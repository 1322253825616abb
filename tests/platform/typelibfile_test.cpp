// The layer's type library files: whatever a file holds, it loads whole or is refused as damage,
// and a library that loads answers every question that a host asks of it.
#include "platform/com.h"
#include "support/TestSupport.h"
#include "support/TypeLibSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <vector>

namespace {

bool IsCleanFailure(HRESULT result) {
    return result == TYPE_E_INVDATAREAD || result == TYPE_E_UNSUPFORMAT;
}

// Reads a description through, and the types it refers to, so that damage that slipped through
// the reader shows up here (under the sanitizers) rather than in a host.
void Walk(ITypeInfo* info) {
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    std::vector<HREFTYPE> references(attributes->cImplTypes);
    for (UINT i = 0; i < attributes->cImplTypes; ++i) {
        ASSERT_EQ(info->GetRefTypeOfImplType(i, &references[i]), S_OK);
    }
    for (UINT f = 0; f < attributes->cFuncs; ++f) {
        FUNCDESC* function = nullptr;
        ASSERT_EQ(info->GetFuncDesc(f, &function), S_OK);
        for (SHORT p = 0; p < function->cParams; ++p) {
            const TYPEDESC* type = &function->lprgelemdescParam[p].tdesc;
            while (type->vt == VT_PTR || type->vt == VT_SAFEARRAY) {
                type = type->lptdesc;
            }
            if (type->vt == VT_USERDEFINED) {
                references.push_back(type->hreftype);
            }
        }
        info->ReleaseFuncDesc(function);
    }
    const bool dual = attributes->typekind == TKIND_DISPATCH;
    info->ReleaseTypeAttr(attributes);
    for (HREFTYPE reference : references) {
        ITypeInfo* target = nullptr;
        ASSERT_EQ(info->GetRefTypeInfo(reference, &target), S_OK);
        target->Release();
    }
    if (dual) {
        ITypeInfo* half = InterfaceHalfOf(info);
        Walk(half);
        half->Release();
    }
}

class TypeLibFile : public ::testing::Test {
protected:
    HRESULT Load(const std::string& text) {
        // A new file each time: rewriting one in place makes ext4 flush it on every close.
        std::remove(path.c_str());
        WriteWholeFile(path, text);
        ITypeLib* library = reinterpret_cast<ITypeLib*>(&path);
        HRESULT result = LoadTypeLib(Wide(path).c_str(), &library);
        if (FAILED(result)) {
            EXPECT_EQ(library, nullptr);
            return result;
        }
        for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
            ITypeInfo* info = nullptr;
            EXPECT_EQ(library->GetTypeInfo(i, &info), S_OK);
            Walk(info);
            info->Release();
        }
        library->Release();
        return result;
    }

    ScratchDirectory directory;
    std::string path = directory.Path() + "/library.tlb";
};

TEST_F(TypeLibFile, EveryTruncationAndChangedByteOfARealLibraryFailsCleanly) {
    const std::string text = ReadWholeFile(BuiltLibraryPath("utils"));
    ASSERT_EQ(Load(text), S_OK);
    for (size_t at = 0; at < text.size(); ++at) {
        ASSERT_TRUE(IsCleanFailure(Load(text.substr(0, at)))) << "cut at " << at;
        for (char replacement : {'\0', ' ', '\n', '"', '*', 'x', '9', '\xff'}) {
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
    for (const auto& [heading, text] : HeadedCases(PRAVELL_TEST_DATA "/typelibs/libraries.txt")) {
        EXPECT_EQ(Load(text), results.at(heading.substr(0, heading.find(' ')))) << heading;
    }
}

// A file larger than any library is refused before it is read; a folder is no library.
TEST_F(TypeLibFile, LargerThanAnyLibraryOrNoFileAtAll) {
    const std::string text = ReadWholeFile(BuiltLibraryPath("utils"));
    EXPECT_EQ(Load(text + "#" + std::string(4u << 20, 'x') + "\n"), TYPE_E_INVDATAREAD);
    ITypeLib* library = reinterpret_cast<ITypeLib*>(&path);
    EXPECT_EQ(LoadTypeLib(Wide(directory.Path()).c_str(), &library), TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(library, nullptr);
    EXPECT_EQ(LoadTypeLib(nullptr, &library), E_INVALIDARG);
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
