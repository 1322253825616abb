// The fixture of the tests of saving over an existing file: a scratch directory holding the old
// document, and a save through a text file in pieces.
#pragma once

#include "support/FileTestSupport.h"
#include "support/TestSupport.h"
#include "transfer/TextFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Ostrel {

inline const std::string kOld = "<old>previous document</old>\r\n";

// Saves through a text file in pieces; true when every Write and the Commit succeeded.
inline bool SaveText(const std::string& path, const std::string& text) {
    TextFile file(path.c_str());
    return file.Create() && WriteInPieces(file, text, 37) && file.Commit();
}

// Lines enough to pass through several write buffers.
inline std::string LongText() {
    std::string text;
    for (int i = 0; i < 6000; ++i) {
        text += "   <line n='" + std::to_string(i) + "'>some text</line>\n";
    }
    return text;
}

class SaveTest : public ::testing::Test {
protected:
    void SetUp() override { WriteWholeFile(path, kOld); }

    // The old document is intact and nothing else was left beside it.
    void ExpectUntouched() const {
        EXPECT_EQ(ReadWholeFile(path), kOld);
        EXPECT_EQ(ListDirectory(scratch.Path()), justTheDocument);
    }

    ScratchDirectory scratch;
    std::string path = scratch.Path() + "/doc.xml";
    const std::vector<std::string> justTheDocument{"doc.xml"};
};

} // namespace Ostrel
