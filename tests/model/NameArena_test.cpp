#include "model/NameArena.h"
#include "text/TextTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Ostrel {
namespace {

Text Intern(NameArena& arena, const std::string& name) {
    return arena.Intern(name.c_str(), static_cast<LONG>(name.size()));
}

// Names of many lengths, so that blocks fill up at every kind of boundary.
std::vector<std::string> VariedNames() {
    std::vector<std::string> names;
    for (int i = 0; i < 400; ++i) {
        names.push_back(std::string(static_cast<size_t>(i * 37 % 61), 'a' + i % 26) +
                        std::to_string(i));
    }
    return names;
}

TEST(NameArena, NamesKeepTheirBytesAcrossBlocks) {
    NameArena arena;
    const std::vector<std::string> names = VariedNames();
    std::vector<Text> interned;
    for (const std::string& name : names) {
        interned.push_back(Intern(arena, name));
    }
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(interned[i], names[i].c_str());
    }
    EXPECT_TRUE(interned[0].SharesHeaderWith(interned[1]));
    EXPECT_FALSE(interned[0].SharesHeaderWith(interned.back())) << "several blocks were needed";

    // The arena lets go of its blocks, the names keep theirs.
    arena.Clear();
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(interned[i], names[i].c_str());
    }
    EXPECT_FALSE(Intern(arena, "fresh").SharesHeaderWith(interned.back()));
}

TEST(NameArena, NamesTooLongForABlockGetTheirOwn) {
    NameArena arena;
    const LONG block = NameArena::kBlockSize;
    for (LONG length : {block - 1, block, block + 1, 5 * block}) {
        SCOPED_TRACE(length);
        Text before = Intern(arena, "before");
        const std::string longName(static_cast<size_t>(length), 'n');
        Text interned = Intern(arena, longName);
        Text after = Intern(arena, "after");
        EXPECT_EQ(interned, longName.c_str());
        EXPECT_EQ(before, "before");
        EXPECT_EQ(after, "after");
        EXPECT_FALSE(interned.SharesHeaderWith(before));
    }
}

} // namespace
} // namespace Ostrel
