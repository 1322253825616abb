#include "platform/com.h"
#include "support/PrivateRegistry.h"
#include "support/TypeLibSupport.h"
#include "typenames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// guids.txt: one text a line, what reading it answers and leaves in the identifier.
TEST(Guid, ReadsFieldByFieldAndWritesTheRegistryForm) {
    PrivateRegistry registry;
    TableValues values;
    const std::vector<std::string> rows = Rows("conversions/guids.txt");
    EXPECT_GT(rows.size(), 7u);
    for (const std::string& row : rows) {
        SCOPED_TRACE(row);
        const std::vector<std::string> words = Words(row);
        VARIANT text = values.Read("BSTR:" + words[0]);
        GUID read;
        std::memset(&read, 0xCC, sizeof read);
        EXPECT_EQ(HresultName(CLSIDFromString(text.bstrVal, &read)), words[2]);
        VariantClear(&text);
        EXPECT_EQ(GuidString(read), words[3]);
        LPOLESTR written = nullptr;
        ASSERT_EQ(StringFromCLSID(read, &written), S_OK);
        EXPECT_EQ(OleString(written), OleString(words[3].begin(), words[3].end()));
        CoTaskMemFree(written);
    }
    OLECHAR small[39];
    EXPECT_EQ(StringFromGUID2(GUID{}, small, 38), 0) << "no room for the terminator";
    EXPECT_EQ(StringFromGUID2(GUID{}, small, 39), 39);
}

} // namespace
