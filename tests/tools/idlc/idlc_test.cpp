#include "support/TestSupport.h"
#include "support/TypeLibSupport.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class Idlc : public ::testing::Test {
protected:
    // Compiles `source`; answers the exit status, and the errors in `errors`.
    int Compile(const std::string& source, const std::string& headerPath) {
        WriteWholeFile(input, source);
        const std::string command = std::string(PRAVELL_IDLC) + " --tlb '" + tlb + "' --header '" +
                                    headerPath + "' --iids '" + iids + "' '" + input + "' 2>'" +
                                    directory.Path() + "/errors.txt'";
        const int status = std::system(command.c_str());
        errors = ReadWholeFile(directory.Path() + "/errors.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // How many of the three outputs there are.
    int Outputs() const {
        int count = 0;
        for (const std::string& path : {tlb, header, iids}) {
            count += std::filesystem::exists(path) ? 1 : 0;
        }
        return count;
    }

    ScratchDirectory directory;
    std::string input = directory.Path() + "/test.idl";
    std::string tlb = directory.Path() + "/test.tlb";
    std::string header = directory.Path() + "/test_idl.h";
    std::string iids = directory.Path() + "/test_idl_i.cpp";
    std::string errors;
};

// faults.txt: cases of "== LINE MESSAGE" followed by the source's lines.
TEST_F(Idlc, FaultsAreReportedWithFileAndLineAndNothingIsWritten) {
    for (const auto& [heading, source] : HeadedCases(PRAVELL_TEST_DATA "/idlc/faults.txt")) {
        const size_t blank = heading.find(' ');
        EXPECT_EQ(Compile(source, header), 1) << heading;
        const std::string where = input + ":" + heading.substr(0, blank) + ": error: ";
        EXPECT_EQ(errors.rfind(where, 0), 0u) << errors << "expected at " << where;
        EXPECT_NE(errors.find(heading.substr(blank + 1)), std::string::npos) << errors;
        EXPECT_EQ(Outputs(), 0) << heading;
    }
}

// The outputs are written all or none: one that cannot be written leaves none of the others.
// (The built type libraries and their headers show what a successful run writes.)
TEST_F(Idlc, OutputsAreWrittenAllOrNone) {
    const std::string source = "import \"oaidl.idl\";\n"
                               "[uuid(4912BE5F-26CC-42B3-A464-43445DB0E09F)] library L {\n"
                               "[object, uuid(79414458-7B2B-4137-98FC-894159DDBE96), dual]\n"
                               "interface I : IDispatch { HRESULT F([in] long x); };\n};\n";
    EXPECT_EQ(Compile(source, directory.Path() + "/missing/test_idl.h"), 1);
    EXPECT_NE(errors.find("cannot write"), std::string::npos) << errors;
    EXPECT_EQ(Outputs(), 0);
    EXPECT_EQ(Compile(source, header), 0) << errors;
    EXPECT_EQ(Outputs(), 3);
}

} // namespace
