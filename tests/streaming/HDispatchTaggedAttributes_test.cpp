#include "streaming/HDispatchTaggedAttributes.h"
#include "support/AutomationTest.h"
#include "support/LateBinding.h"
#include "support/ParserClients.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Ostrel::Testing {
namespace {

using ParserTest = AutomationTest;

// Names are sorted and held once without regard to ASCII letter case (a null name is the empty
// one); a list of pairs is taken up to its first refused pair, lists of different lengths not at
// all; a failed lookup leaves its outs alone.
TEST_F(ParserTest, AttributesAreSortedWithoutCaseAndRefuseAnEqualName) {
    auto* attributes = new HDispatchTaggedAttributes;
    attributes->AddRef();
    VARIANT names;
    VARIANT values;
    EXPECT_EQ(attributes->GetAttributes(&names, &values), S_OK);
    EXPECT_EQ(StringsOf(names), std::vector<std::string>()) << "empty arrays";
    VariantClear(&names);
    VariantClear(&values);
    EXPECT_EQ(attributes->AddAttribute(Bstr("b"), Bstr("1")), S_OK);
    EXPECT_EQ(attributes->AddAttribute(Bstr("A"), Bstr("2")), S_OK);
    EXPECT_EQ(attributes->AddAttribute(Bstr("B"), Bstr("4")), E_FAIL);
    EXPECT_EQ(attributes->AddAttribute(nullptr, Bstr("empty")), S_OK);
    EXPECT_EQ(attributes->AddAttribute(Bstr(""), Bstr("again")), E_FAIL);
    // The object keeps names and values in the ANSI code page; UTF-8 (Linux) and 1252 (Windows)
    // both hold these two characters, so they come back as they went in.
    EXPECT_EQ(attributes->AddAttribute(Bstr("z\xC3\xA9"), Bstr("\xE2\x82\xAC")), S_OK);
    for (const std::vector<std::string>& listed :
         {std::vector<std::string>{"x", "y"}, std::vector<std::string>{"c", "a", "d"}}) {
        names = StringsArgument(listed);
        values = StringsArgument({"3", "refused", "never"});
        EXPECT_EQ(attributes->AddAttributes(names, values), E_FAIL);
        VariantClear(&names);
        VariantClear(&values);
    }
    // Script variables arrive as references to variants, one or more deep.
    VARIANT nameVariable = StringsArgument({"r"});
    VARIANT valueVariable = StringsArgument({"5"});
    VARIANT inner = ReferenceArgument(VT_VARIANT, &valueVariable);
    EXPECT_EQ(attributes->AddAttributes(ReferenceArgument(VT_VARIANT, &nameVariable),
                                        ReferenceArgument(VT_VARIANT, &inner)),
              S_OK);
    VariantClear(&nameVariable);
    VariantClear(&valueVariable);
    EXPECT_EQ(DescribeAttributes(attributes), "[=empty,A=2,b=1,c=3,r=5,z\xC3\xA9=\xE2\x82\xAC]");

    BSTR value = reinterpret_cast<BSTR>(0x1);
    EXPECT_EQ(attributes->GetValue(Bstr("Z\xC3\xA9"), &value), S_OK);
    EXPECT_EQ(TakeUtf8(value), "\xE2\x82\xAC");
    value = reinterpret_cast<BSTR>(0x1);
    EXPECT_EQ(attributes->GetValue(Bstr("missing"), &value), E_FAIL);
    EXPECT_EQ(attributes->GetAttribute(6, &value, &value), E_FAIL);
    EXPECT_EQ(value, reinterpret_cast<BSTR>(0x1));
    EXPECT_EQ(attributes->Release(), 0u);
}

} // namespace
} // namespace Ostrel::Testing
