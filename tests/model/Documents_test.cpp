// The documents of tests/data/documents as the model loads and saves them. NAME.xml loads from a
// string and fails with exactly the message in NAME.error or saves as exactly NAME.saved (given
// both, NAME.saved holds what was built up to the failure). The saved text then comes back
// through a string, a text file and a container to the same document by the round-trip rule.
#include "ModelTestSupport.h"
#include "support/FileTestSupport.h"
#include "support/TestSupport.h"
#include "support/TreeComparison.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace Ostrel {
namespace {

const std::string kDocuments = PRAVELL_TEST_DATA "/documents/";

// Saves the model through the target, loads what was written and compares by the round-trip rule.
void ExpectComesBack(const std::string& target, XMLModel& model, const std::string& path) {
    SCOPED_TRACE(target);
    const Text file(path.c_str());
    Text saved;
    XMLModel reloaded;
    if (target == "string") {
        ASSERT_TRUE(model.SaveString(saved) && reloaded.LoadString(saved));
    } else if (target == "text file") {
        ASSERT_TRUE(model.SaveFile(file) && reloaded.LoadFile(file));
        EXPECT_EQ(ReadWholeFile(path), OnDisk(Saved(model)));
    } else {
        ASSERT_TRUE(model.SaveCompressed(file) && reloaded.LoadCompressed(file));
    }
    EXPECT_EQ(TreeDifference(model, reloaded), "");
}

TEST(Documents, LoadAndSaveAsTheFilesSayAndComeBackThroughEveryTarget) {
    ScratchDirectory scratch;
    const std::string path = scratch.Path() + "/saved";
    const std::vector<std::string> files = ListDirectory(kDocuments);
    const auto has = [&](const std::string& file) {
        return std::find(files.begin(), files.end(), file) != files.end();
    };
    int documents = 0;
    for (const std::string& file : files) {
        const std::string name = file.substr(0, file.rfind('.'));
        if (file != name + ".xml") {
            continue;
        }
        SCOPED_TRACE(file);
        ++documents;
        XMLModel model;
        // A failed load first, whose document type and unfinished text must not reach the next.
        EXPECT_FALSE(model.LoadString(Text("<!DOCTYPE previous><previous>left over")));
        model.Errors().ClearError();
        const bool loaded = model.LoadString(Text(ReadWholeFile(kDocuments + file).c_str()));
        EXPECT_EQ(loaded, !has(name + ".error"));
        if (!loaded) {
            EXPECT_EQ(PendingError(model), ReadWholeFile(kDocuments + name + ".error"));
        }
        if (!has(name + ".saved")) {
            continue;
        }
        EXPECT_EQ(Saved(model), ReadWholeFile(kDocuments + name + ".saved"));
        EXPECT_EQ(model.Root().GetText(), "") << "text left over from the load before";
        for (const char* target : {"string", "text file", "container"}) {
            ExpectComesBack(target, model, path);
        }
    }
    EXPECT_GT(documents, 20);
}

} // namespace
} // namespace Ostrel
