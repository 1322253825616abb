#include "host/Arguments.h"

#include "host/AutomationText.h"

namespace Ostrel {

namespace {

VARIANT Typed(VARTYPE type) {
    VARIANT argument{};
    argument.vt = type;
    return argument;
}

} // namespace

VARIANT TextArgument(const std::string& utf8) {
    VARIANT argument = Typed(VT_BSTR);
    argument.bstrVal = Bstr(utf8).Detach();
    return argument;
}

VARIANT IntegerArgument(LONG value) {
    VARIANT argument = Typed(VT_I4);
    argument.lVal = value;
    return argument;
}

VARIANT ObjectArgument(IDispatch* object) {
    VARIANT argument = Typed(VT_DISPATCH);
    argument.pdispVal = object;
    if (object != nullptr) {
        object->AddRef();
    }
    return argument;
}

VARIANT ReferenceArgument(VARTYPE type, void* target) {
    VARIANT argument = Typed(VT_BYREF | type);
    argument.byref = target;
    return argument;
}

} // namespace Ostrel
