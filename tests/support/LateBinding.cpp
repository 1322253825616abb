#include "support/LateBinding.h"

#include <gtest/gtest.h>

namespace Ostrel::Testing {

std::string Outcome::Text() const {
    if (value.vt != VT_BSTR) {
        return "<type " + std::to_string(value.vt) + ">";
    }
    return value.bstrVal == nullptr ? "<null>" : ToUtf8(value.bstrVal);
}

VARIANT Typed(double value, VARTYPE type) {
    VARIANT argument{};
    argument.vt = VT_R8;
    argument.dblVal = value;
    EXPECT_EQ(VariantChangeType(&argument, &argument, 0, type), S_OK) << type;
    return argument;
}

VARIANT StringsArgument(const std::vector<std::string>& utf8) {
    VARIANT argument{};
    argument.vt = VT_ARRAY | VT_BSTR;
    argument.parray = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(utf8.size()));
    for (LONG i = 0; i < static_cast<LONG>(utf8.size()); ++i) {
        const Bstr text(utf8[static_cast<size_t>(i)]);
        EXPECT_EQ(SafeArrayPutElement(argument.parray, &i, static_cast<BSTR>(text)), S_OK);
    }
    return argument;
}

std::vector<std::string> StringsOf(const VARIANT& array) {
    std::vector<std::string> texts;
    EXPECT_EQ(array.vt, VT_ARRAY | VT_BSTR);
    if (array.vt == (VT_ARRAY | VT_BSTR)) {
        const BSTR* strings = static_cast<const BSTR*>(array.parray->pvData);
        for (ULONG i = 0; i < array.parray->rgsabound[0].cElements; ++i) {
            texts.push_back(ToUtf8(strings[i]));
        }
    }
    return texts;
}

Outcome Invoke(IDispatch* object, DISPID id, std::vector<VARIANT> arguments) {
    LateBound target = LateBound::Share(object);
    Outcome outcome;
    outcome.code = target.Invoke(id, std::move(arguments), &outcome.value);
    outcome.description = target.Failure();
    return outcome;
}

Outcome Call(IDispatch* object, const std::string& name, std::vector<VARIANT> arguments) {
    LateBound target = LateBound::Share(object);
    Outcome outcome;
    outcome.code = target.Call(name, std::move(arguments), &outcome.value);
    outcome.description = target.Failure();
    return outcome;
}

LateBound CallForObject(IDispatch* object, const std::string& name,
                        std::vector<VARIANT> arguments) {
    const Outcome outcome = Call(object, name, std::move(arguments));
    EXPECT_EQ(outcome.code, S_OK) << name << ": " << outcome.description;
    EXPECT_EQ(outcome.value.vt, VT_DISPATCH) << name;
    return outcome.Object();
}

std::string TakeUtf8(BSTR text) {
    std::string narrow = ToUtf8(text);
    SysFreeString(text);
    return narrow;
}

} // namespace Ostrel::Testing
