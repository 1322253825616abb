#include "streaming/HDispatchTaggedAttributes.h"
#include "support/AutomationTest.h"
#include "support/LateBinding.h"
#include "utils_idl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Ostrel::Bstr;
using Ostrel::HDispatchTaggedAttributes;
using ParserTest = Ostrel::Testing::AutomationTest;
using Ostrel::Testing::StringsArgument;
using Ostrel::Testing::StringsOf;
using Ostrel::Testing::TakeUtf8;

// Holds the one reference of an attributes object made for the test.
struct Held {
    Held() : object(new HDispatchTaggedAttributes) { object->AddRef(); }
    ~Held() { object->Release(); }
    HDispatchTaggedAttributes* operator->() const { return object; }
    HDispatchTaggedAttributes* object;
};

// "name=value;" for every pair, by index.
std::string Pairs(HDispatchTaggedAttributes* attributes) {
    LONG count = -1;
    EXPECT_EQ(attributes->GetCount(&count), S_OK);
    std::string pairs;
    for (LONG i = 0; i < count; ++i) {
        BSTR name = nullptr;
        BSTR value = nullptr;
        EXPECT_EQ(attributes->GetAttribute(i, &name, &value), S_OK);
        pairs += TakeUtf8(name) + "=" + TakeUtf8(value) + ";";
    }
    return pairs;
}

TEST_F(ParserTest, AttributesAreSortedWithoutCaseAndRefuseAnEqualName) {
    Held attributes;
    EXPECT_EQ(attributes->AddAttribute(Bstr("b"), Bstr("1")), S_OK);
    EXPECT_EQ(attributes->AddAttribute(Bstr("A"), Bstr("2")), S_OK);
    EXPECT_EQ(attributes->AddAttribute(Bstr("c"), Bstr("3")), S_OK);
    EXPECT_EQ(attributes->AddAttribute(Bstr("B"), Bstr("4")), E_FAIL);
    EXPECT_EQ(attributes->AddAttribute(nullptr, Bstr("empty name")), S_OK);
    EXPECT_EQ(attributes->AddAttribute(Bstr(""), Bstr("again")), E_FAIL);
    EXPECT_EQ(Pairs(attributes.object), "=empty name;A=2;b=1;c=3;");

    // Non-ASCII names and values travel through unchanged.
    EXPECT_EQ(attributes->AddAttribute(Bstr("z\xC3\xA9"), Bstr("\xE2\x82\xAC")), S_OK);
    BSTR value = reinterpret_cast<BSTR>(0x1);
    EXPECT_EQ(attributes->GetValue(Bstr("Z\xC3\xA9"), &value), S_OK);
    EXPECT_EQ(TakeUtf8(value), "\xE2\x82\xAC");
    value = reinterpret_cast<BSTR>(0x1);
    EXPECT_EQ(attributes->GetValue(Bstr("missing"), &value), E_FAIL);
    EXPECT_EQ(attributes->GetAttribute(5, &value, &value), E_FAIL);
    EXPECT_EQ(value, reinterpret_cast<BSTR>(0x1)) << "a failed lookup leaves the out alone";
}

TEST_F(ParserTest, AddAttributesTakesEqualListsAndStopsAtTheFirstRefusal) {
    Held attributes;
    VARIANT names;
    VARIANT values;
    EXPECT_EQ(attributes->GetAttributes(&names, &values), S_OK);
    EXPECT_EQ(StringsOf(names), std::vector<std::string>()) << "nothing held: empty arrays";
    EXPECT_EQ(StringsOf(values), std::vector<std::string>());
    VariantClear(&names);
    VariantClear(&values);

    names = StringsArgument({"x", "y"});
    values = StringsArgument({"1", "2", "3"});
    EXPECT_EQ(attributes->AddAttributes(names, values), E_FAIL);
    EXPECT_EQ(Pairs(attributes.object), "");
    VariantClear(&values);
    values = StringsArgument({"1", "2"});
    EXPECT_EQ(attributes->AddAttributes(names, values), S_OK);
    EXPECT_EQ(Pairs(attributes.object), "x=1;y=2;");
    VariantClear(&names);
    VariantClear(&values);

    names = StringsArgument({"a", "X", "z"});
    values = StringsArgument({"first", "refused", "never"});
    EXPECT_EQ(attributes->AddAttributes(names, values), E_FAIL);
    EXPECT_EQ(Pairs(attributes.object), "a=first;x=1;y=2;");
    VariantClear(&names);
    VariantClear(&values);
}

} // namespace
