#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

namespace {

struct Outcome {
    int status;
    std::string errors;
};

bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

class Idlc : public ::testing::Test {
protected:
    Outcome Compile(const std::string& source, const std::string& header = "") {
        WriteWholeFile(input, source);
        std::string command = std::string(PRAVELL_IDLC) + " --tlb '" + tlb + "' --header '" +
                              (header.empty() ? this->header : header) + "' --iids '" + iids +
                              "' '" + input + "' 2>'" + errors + "'";
        int status = std::system(command.c_str());
        return Outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadWholeFile(errors)};
    }

    ScratchDirectory directory;
    std::string input = directory.Path() + "/test.idl";
    std::string tlb = directory.Path() + "/test.tlb";
    std::string header = directory.Path() + "/test_idl.h";
    std::string iids = directory.Path() + "/test_idl_i.cpp";
    std::string errors = directory.Path() + "/errors.txt";
};

const char prelude[] = "import \"oaidl.idl\";\n"
                       "[uuid(4912BE5F-26CC-42B3-A464-43445DB0E09F)] library L {\n"
                       "[object, uuid(79414458-7B2B-4137-98FC-894159DDBE96), dual]\n"
                       "interface I : IDispatch {\n";

struct Case {
    std::string source;
    int line;
    const char* message;
};

TEST_F(Idlc, FaultsAreReportedWithFileAndLineAndNothingIsWritten) {
    const Case cases[] = {
        {std::string(prelude) + "HRESULT F([in] Foo x);\n};\n};\n", 5, "unknown type 'Foo'"},
        {std::string(prelude) + "HRESULT F([out] long x);\n};\n};\n", 5,
         "[out] parameter 'x' must be a pointer"},
        {std::string(prelude) + "HRESULT F([out, retval] long* x,\n [in] long y);\n};\n};\n", 5,
         "[retval] parameter 'x' must be last"},
        {std::string(prelude) + "HRESULT F([in] SAFEARRAY(BSTR*) x);\n};\n};\n", 5,
         "unsupported SAFEARRAY element type"},
        {std::string(prelude) + "long F();\n};\n};\n", 5, "method 'F' must return HRESULT"},
        {std::string(prelude) + "[id(1)] HRESULT F();\n[id(1)] HRESULT G();\n};\n};\n", 6,
         "dispatch identifier 1 is used by 'F' and 'G'"},
        {std::string(prelude) + "HRESULT F()\n};\n};\n", 6, "expected ';' but found '}'"},
        {std::string(prelude) + "[helpstring(\"open)] HRESULT F();\n};\n};\n", 5,
         "unterminated string"},
        {"[uuid(4912BE5F-26CC-42B3-A464-43445DB0E09F)] library L {\n"
         "[object, uuid(79414458-7B2B-4137-98FC-894159DDBE96), dual]\n"
         "interface I : IUnknown {};\n};\n",
         3, "dual interface 'I' must derive from IDispatch"},
        {"[object, uuid(79414458-7B2B-4137-98FC-894159DDBE9G)]\ninterface I : IDispatch {};\n", 1,
         "malformed uuid"},
        {"[object, uuid(79414458-7B2B-4137-98FC-894159DDBE96)]\ninterface I : J {};\n", 2,
         "base interface 'J' must be defined before 'I'"},
        {"\n\nimport \"mine.idl\";\n", 3, "cannot import 'mine.idl'"},
        {"/* a comment\nthat never ends\n", 1, "unterminated comment"},
        {"[object, uuid(79414458-7B2B-4137-98FC-894159DDBE96)]\ninterface I : IDispatch {};\n", 1,
         "a type library needs a library block"},
    };
    for (const Case& test : cases) {
        Outcome run = Compile(test.source);
        std::string where = input + ":" + std::to_string(test.line) + ": error: ";
        EXPECT_EQ(run.status, 1) << test.source;
        EXPECT_EQ(run.errors.rfind(where, 0), 0u) << run.errors << "expected at " << where;
        EXPECT_NE(run.errors.find(test.message), std::string::npos) << run.errors;
        EXPECT_FALSE(Exists(tlb) || Exists(header) || Exists(iids)) << test.source;
    }
}

TEST_F(Idlc, OutputsAreWrittenAllOrNone) {
    std::string source = std::string(prelude) + "HRESULT F([in] long x);\n};\n};\n";
    Outcome run = Compile(source, directory.Path() + "/missing/test_idl.h");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find("cannot write"), std::string::npos) << run.errors;
    EXPECT_FALSE(Exists(tlb) || Exists(iids));

    run = Compile(source);
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_NE(ReadWholeFile(header).find("virtual HRESULT STDMETHODCALLTYPE F(LONG x) = 0;"),
              std::string::npos);
    EXPECT_NE(ReadWholeFile(iids).find("const IID IID_I = {0x79414458, 0x7B2B, 0x4137"),
              std::string::npos);
    EXPECT_EQ(ReadWholeFile(tlb).rfind("pravell-typelib 1\n", 0), 0u);
}

// Both classes implement I and J, then I and J as sources: one without marks, one with.
TEST_F(Idlc, ClassesHaveADefaultInterfaceOnEachSide) {
    std::string source =
        std::string(prelude) +
        "};\n[object, uuid(79414458-7B2B-4137-98FC-894159DDBE97), dual] interface J : IDispatch "
        "{};\n"
        "[uuid(79414458-7B2B-4137-98FC-894159DDBE98)] coclass Unmarked {\n"
        "interface I; interface J; [source] interface I; [source] interface J; };\n"
        "[uuid(79414458-7B2B-4137-98FC-894159DDBE99)] coclass Marked {\n"
        "interface I; [default] interface J; [source] interface I;\n"
        "[default, source] interface J; };\n};\n";
    Outcome run = Compile(source);
    ASSERT_EQ(run.status, 0) << run.errors;
    std::string text = ReadWholeFile(tlb);
    EXPECT_NE(text.find("Unmarked {79414458-7B2B-4137-98FC-894159DDBE98} 0.0 cancreate 4 \"\"\n"
                        "  implements I default\n  implements J -\n"
                        "  implements I default,source\n  implements J source\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Marked {79414458-7B2B-4137-98FC-894159DDBE99} 0.0 cancreate 4 \"\"\n"
                        "  implements I -\n  implements J default\n"
                        "  implements I source\n  implements J default,source\n"),
              std::string::npos)
        << text;
}

} // namespace
