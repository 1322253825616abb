#include "dispatch_test_idl.h"
#include "host/HostObject.h"
#include "platform/com.h"
#include "support/CountingObject.h"
#include "support/SystemFacts.h"
#include "support/TestSupport.h"
#include "support/TypeLibSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// Records what each method received, in the slot order of the generated header, and answers
// `answer`; a failing answer comes with error information, as the system's objects give it.
class Recorder : public Ostrel::HostObject<IDispatchRecorder, IID_IDispatchRecorder> {
public:
    HRESULT STDMETHODCALLTYPE TakeText(BSTR received) override {
        text = BstrText(received);
        return Answer("TakeText");
    }
    HRESULT STDMETHODCALLTYPE GiveText(BSTR* given) override {
        *given = SUCCEEDED(answer) ? SysAllocString(OLESTR("given")) : nullptr;
        return Answer("GiveText");
    }
    HRESULT STDMETHODCALLTYPE TakeVariant(VARIANT value) override {
        variantValue = value;
        return Answer("TakeVariant");
    }
    HRESULT STDMETHODCALLTYPE TakeNumber(LONG received) override {
        number = received;
        return Answer("TakeNumber");
    }
    HRESULT STDMETHODCALLTYPE TakeObject(IDispatch* received) override {
        object = received;
        return Answer("TakeObject");
    }
    HRESULT STDMETHODCALLTYPE GiveRecorder(IDispatchRecorder** given) override {
        *given = child;
        child->AddRef();
        return Answer("GiveRecorder");
    }
    HRESULT STDMETHODCALLTYPE GivePair(BSTR* name, BSTR* value) override {
        *name = SysAllocString(pairName.c_str());
        *value = SysAllocString(OLESTR("value"));
        return Answer("GivePair");
    }
    HRESULT STDMETHODCALLTYPE GiveVariants(VARIANT* names, VARIANT* values) override {
        names->vt = VT_ARRAY | VT_BSTR;
        names->parray = SafeArrayCreateVector(VT_BSTR, 0, 2);
        values->vt = VT_BSTR;
        values->bstrVal = SysAllocString(OLESTR("values"));
        return Answer("GiveVariants");
    }
    HRESULT STDMETHODCALLTYPE Ping() override { return Answer("Ping"); }
    HRESULT STDMETHODCALLTYPE TakeMixed(BSTR name, LONG index, VARIANT* value) override {
        text = BstrText(name);
        number = index;
        variantPointer = value;
        variantType = value->vt;
        return Answer("TakeMixed");
    }
    HRESULT STDMETHODCALLTYPE AddUp(SHORT a, FLOAT b, DOUBLE c, LONG d, DOUBLE* total) override {
        *total += a + b + c + d;
        return Answer("AddUp");
    }
    HRESULT STDMETHODCALLTYPE TakeMany(LONG a, LONG b, LONG c, LONG d, LONG e, LONG f, LONG g,
                                       LONG h, LONG i, LONG j, LONG k, LONG l, BSTR m,
                                       LONG* count) override {
        many = {a, b, c, d, e, f, g, h, i, j, k, l};
        text = BstrText(m);
        *count = static_cast<LONG>(many.size());
        return Answer("TakeMany");
    }
    HRESULT STDMETHODCALLTYPE AddSmall(SHORT a, BYTE b, VARIANT_BOOL c, USHORT d,
                                       LONG* total) override {
        *total = a + b + c + d;
        return Answer("AddSmall");
    }
    HRESULT STDMETHODCALLTYPE OutOfSequence() override { return Answer("OutOfSequence"); }

    std::vector<std::string> calls;
    HRESULT answer = S_OK;
    bool raisesErrorInfo = true;
    OleString text;
    LONG number = 0;
    VARIANT* variantPointer = nullptr;
    VARTYPE variantType = VT_EMPTY;
    VARIANT variantValue{};
    IDispatch* object = nullptr;
    Recorder* child = nullptr;
    OleString pairName = OLESTR("name");
    std::vector<LONG> many;

private:
    HRESULT Answer(const char* method) {
        calls.push_back(method);
        if (FAILED(answer) && raisesErrorInfo) {
            ICreateErrorInfo* creator = nullptr;
            CreateErrorInfo(&creator);
            creator->SetDescription(const_cast<LPOLESTR>(OLESTR("Recorder failed")));
            creator->SetSource(const_cast<LPOLESTR>(OLESTR("Pravell.Recorder")));
            IErrorInfo* info = nullptr;
            creator->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
            SetErrorInfo(0, info);
            info->Release();
            creator->Release();
        }
        return answer;
    }
};

class Echoer : public Ostrel::HostObject<IDispatchEcho, IID_IDispatchEcho> {
public:
    HRESULT STDMETHODCALLTYPE Echo(DOUBLE value, DOUBLE* echoed) override {
        *echoed = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Twice(LONG value, LONG* doubled) override {
        *doubled = 2 * value;
        return S_OK;
    }
};

// Arguments as a script writes them, first to last; DISPPARAMS gets them last first. Owned
// values are freed with the arguments.
class Arguments {
public:
    Arguments() = default;
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;
    ~Arguments() {
        for (VARIANT& argument : items) {
            VariantClear(&argument);
        }
    }

    Arguments& Add(VARIANT argument) {
        items.insert(items.begin(), argument);
        return *this;
    }
    Arguments& Text(const OLECHAR* text) { return Add(Value(VT_BSTR, SysAllocString(text))); }
    Arguments& I2(SHORT value) { return Add(Value(VT_I2, value)); }
    Arguments& I4(LONG value) { return Add(Value(VT_I4, value)); }
    Arguments& R4(FLOAT value) { return Add(Value(VT_R4, value)); }
    Arguments& R8(DOUBLE value) { return Add(Value(VT_R8, value)); }
    Arguments& Bool(VARIANT_BOOL value) { return Add(Value(VT_BOOL, value)); }
    Arguments& Null() { return Add(Value(VT_NULL, 0)); }
    // How VBScript passes Nothing.
    Arguments& NoObject() { return Add(Value(VT_DISPATCH, static_cast<IDispatch*>(nullptr))); }
    Arguments& Object(IDispatch* object) {
        object->AddRef();
        return Add(Value(VT_DISPATCH, object));
    }
    Arguments& Unknown(IUnknown* object) {
        object->AddRef();
        return Add(Value(VT_UNKNOWN, object));
    }
    // How VBScript passes a variable: a reference to the variable's own variant.
    Arguments& Variable(VARIANT* variable) { return Add(Value(VT_BYREF | VT_VARIANT, variable)); }
    Arguments& Reference(VARTYPE vt, void* target) { return Add(Value(VT_BYREF | vt, target)); }

    DISPPARAMS* Params() {
        params = DISPPARAMS{items.data(), nullptr, static_cast<UINT>(items.size()), 0};
        return &params;
    }
    VARIANT& operator[](size_t fromLast) { return items[fromLast]; }

private:
    template <typename T>
    static VARIANT Value(VARTYPE vt, T value) {
        VARIANT variant{};
        variant.vt = vt;
        static_assert(sizeof(T) <= sizeof(variant.llVal), "fits the value field");
        std::memcpy(&variant.llVal, &value, sizeof(T));
        return variant;
    }

    std::vector<VARIANT> items;
    DISPPARAMS params{};
};

class Dispatch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(LoadTypeLib(Wide(PRAVELL_DISPATCH_TEST_TLB).c_str(), &library), S_OK);
        ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IDispatchRecorder, &info), S_OK);
    }
    void TearDown() override {
        VariantClear(&result);
        ClearException();
        if (info != nullptr) {
            info->Release();
        }
        if (library != nullptr) {
            library->Release();
        }
    }
    void ClearException() {
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        exception = EXCEPINFO{};
    }

    DISPID Id(const OLECHAR* name) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = 0;
        EXPECT_EQ(DispGetIDsOfNames(info, names, 1, &id), S_OK) << "no member";
        return id;
    }

    // DispInvoke names a failing argument by its index in rgvarg, as documented for
    // DISP_E_TYPEMISMATCH and DISP_E_PARAMNOTFOUND; Wine's leaves the index alone.
    void ExpectArgumentError(UINT index) {
        if (!UnderWine()) {
            EXPECT_EQ(argumentError, index);
        }
        argumentError = 99;
    }

    HRESULT Call(const OLECHAR* name, Arguments& arguments, WORD flags = DISPATCH_METHOD) {
        VariantClear(&result);
        return DispInvoke(&recorder, info, Id(name), flags, arguments.Params(), &result, &exception,
                          &argumentError);
    }

    ITypeLib* library = nullptr;
    ITypeInfo* info = nullptr;
    Recorder recorder;
    VARIANT result{};
    EXCEPINFO exception{};
    UINT argumentError = 99;
};

TEST_F(Dispatch, VBScriptVariablesArriveThroughTheirReferences) {
    VARIANT text{};
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(OLESTR("from a variable"));
    VARIANT small{};
    small.vt = VT_I2;
    small.iVal = -7;

    EXPECT_EQ(Call(OLESTR("TakeText"), Arguments().Variable(&text)), S_OK);
    EXPECT_EQ(recorder.text, OLESTR("from a variable"));

    EXPECT_EQ(Call(OLESTR("TakeNumber"), Arguments().Variable(&small)), S_OK);
    EXPECT_EQ(recorder.number, -7);
    EXPECT_EQ(small.vt, VT_I2) << "the variable is not changed by the coercion";

    EXPECT_EQ(Call(OLESTR("TakeMixed"), Arguments().Variable(&text).I2(3).Variable(&small),
                   DISPATCH_METHOD | DISPATCH_PROPERTYGET),
              S_OK);
    EXPECT_EQ(recorder.text, OLESTR("from a variable"));
    EXPECT_EQ(recorder.number, 3);
    EXPECT_EQ(recorder.variantPointer, &small) << "VARIANT* receives the variable itself";

    EXPECT_EQ(Call(OLESTR("TakeVariant"), Arguments().Variable(&text)), S_OK);
    EXPECT_EQ(recorder.variantValue.vt, VT_BYREF | VT_VARIANT) << "a VARIANT comes as it came";
    EXPECT_EQ(recorder.variantValue.pvarVal, &text);
    VariantClear(&text);
}

TEST_F(Dispatch, JScriptValuesAreCoercedOrRefusedNamingTheArgument) {
    EXPECT_EQ(Call(OLESTR("TakeNumber"), Arguments().R8(3.5)), S_OK);
    EXPECT_EQ(recorder.number, 4) << "rounded as VariantChangeType rounds";

    EXPECT_EQ(Call(OLESTR("TakeText"), Arguments().I4(56)), S_OK);
    EXPECT_EQ(recorder.text, OLESTR("56")) << "a temporary string, freed after the call";

    Arguments mixed;
    mixed.Text(OLESTR("n")).R8(2.0).I4(9);
    EXPECT_EQ(Call(OLESTR("TakeMixed"), mixed), S_OK);
    EXPECT_EQ(recorder.number, 2);
    EXPECT_EQ(recorder.variantType, VT_I4) << "VARIANT* receives the argument as it came";
    EXPECT_EQ(mixed[2].vt, VT_BSTR) << "arguments are never changed in place";
    EXPECT_EQ(mixed[1].vt, VT_R8);

    // A failed coercion names the argument and calls nothing.
    recorder.calls.clear();
    EXPECT_EQ(Call(OLESTR("TakeNumber"), Arguments().Text(OLESTR("abc"))), DISP_E_TYPEMISMATCH);
    ExpectArgumentError(0);

    // The string made for the first argument is freed when the second fails; the index is in
    // rgvarg, which holds the last argument first.
    EXPECT_EQ(Call(OLESTR("TakeMixed"), Arguments().I4(5).Text(OLESTR("abc")).I4(1)),
              DISP_E_TYPEMISMATCH);
    ExpectArgumentError(1);
    EXPECT_TRUE(recorder.calls.empty());

    // A constant where the method writes a value back: the method writes into a temporary.
    EXPECT_EQ(Call(OLESTR("GivePair"), Arguments().Text(OLESTR("x"))), S_OK);
    EXPECT_EQ(BstrText(result.bstrVal), OLESTR("value"));
}

TEST_F(Dispatch, InterfaceArgumentsKeepTheirReferencesBalanced) {
    Ostrel::Testing::CountingObject host;
    EXPECT_EQ(Call(OLESTR("TakeObject"), Arguments().Object(&host)), S_OK);
    EXPECT_EQ(recorder.object, &host);
    EXPECT_EQ(host.References(), 1u) << "every reference the call took is given back";

    EXPECT_EQ(Call(OLESTR("TakeObject"), Arguments().Unknown(&host)), S_OK);
    EXPECT_EQ(recorder.object, &host);
    EXPECT_EQ(host.References(), 1u) << "the QueryInterface reference was released";

    EXPECT_EQ(Call(OLESTR("TakeObject"), Arguments().NoObject()), S_OK);
    EXPECT_EQ(recorder.object, nullptr);
    EXPECT_EQ(Call(OLESTR("TakeObject"), Arguments().Null()), DISP_E_TYPEMISMATCH)
        << "a script's null is no object";
    ExpectArgumentError(0);

    Ostrel::Testing::CountingObject plain(false);
    EXPECT_EQ(Call(OLESTR("TakeObject"), Arguments().Unknown(&plain)), E_NOINTERFACE)
        << "the object's own answer, as VariantChangeType gives it";
    EXPECT_EQ(plain.References(), 1u);

    EXPECT_EQ(Call(OLESTR("TakeObject"), Arguments().I4(1)), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(std::count(recorder.calls.begin(), recorder.calls.end(), "TakeObject"), 3);
}

TEST_F(Dispatch, RetvalBecomesTheResultOfItsOwnType) {
    Recorder child;
    recorder.child = &child;
    Arguments none;
    EXPECT_EQ(Call(OLESTR("GiveText"), none), S_OK);
    EXPECT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(BstrText(result.bstrVal), OLESTR("given"));

    EXPECT_EQ(Call(OLESTR("GiveRecorder"), none), S_OK);
    EXPECT_EQ(result.vt, VT_DISPATCH);
    EXPECT_EQ(result.pdispVal, static_cast<IDispatch*>(&child));
    EXPECT_EQ(child.References(), 2u) << "the result owns the reference";
    VariantClear(&result);

    EXPECT_EQ(Call(OLESTR("Ping"), none), S_OK);
    EXPECT_EQ(result.vt, VT_EMPTY);
    EXPECT_EQ(Call(OLESTR("OutOfSequence"), none), S_OK) << "found by its identifier, not its slot";
    EXPECT_EQ(recorder.calls.back(), "OutOfSequence");

    // Without a result variant every returned value is released.
    EXPECT_EQ(DispInvoke(&recorder, info, Id(OLESTR("GiveRecorder")), DISPATCH_METHOD,
                         none.Params(), nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(child.References(), 1u);
    EXPECT_EQ(DispInvoke(&recorder, info, Id(OLESTR("GiveVariants")), DISPATCH_METHOD,
                         Arguments().Variable(&result).Params(), nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(result.vt, VT_ARRAY | VT_BSTR);
}

TEST_F(Dispatch, OutValuesReplaceWhatTheReferencesHeld) {
    BSTR name = SysAllocString(OLESTR("old name"));
    EXPECT_EQ(Call(OLESTR("GivePair"), Arguments().Reference(VT_BSTR, &name)), S_OK);
    EXPECT_EQ(BstrText(name), OLESTR("name")) << "the old string was freed, the new one stored";
    EXPECT_EQ(BstrText(result.bstrVal), OLESTR("value"));

    // A typed reference is only ever the caller's storage of that type. A script's variable (a
    // reference to a variant) does not stand for one, as the system has it by design: scripts
    // declare such parameters VARIANT*.
    VARIANT variable{};
    variable.vt = VT_BSTR;
    variable.bstrVal = SysAllocString(OLESTR("old"));
    EXPECT_EQ(Call(OLESTR("GivePair"), Arguments().Variable(&variable)), DISP_E_TYPEMISMATCH);
    ExpectArgumentError(0);
    EXPECT_EQ(BstrText(variable.bstrVal), OLESTR("old"));
    LONG count = 5;
    EXPECT_EQ(Call(OLESTR("GivePair"), Arguments().Reference(VT_I4, &count)), DISP_E_TYPEMISMATCH);
    ExpectArgumentError(0);
    EXPECT_EQ(count, 5);

    VARIANT names{};
    names.vt = VT_I4;
    EXPECT_EQ(Call(OLESTR("GiveVariants"), Arguments().Variable(&names)), S_OK);
    EXPECT_EQ(names.vt, VT_ARRAY | VT_BSTR) << "the variable's number was replaced";
    EXPECT_EQ(BstrText(result.bstrVal), OLESTR("values"));

    SysFreeString(name);
    VariantClear(&variable);
    VariantClear(&names);
}

TEST_F(Dispatch, FailuresBecomeExceptionsFromTheErrorInformation) {
    recorder.answer = E_FAIL;
    Arguments none;
    EXPECT_EQ(Call(OLESTR("GiveText"), none), DISP_E_EXCEPTION);
    EXPECT_EQ(exception.scode, E_FAIL);
    EXPECT_EQ(exception.wCode, 0);
    EXPECT_EQ(BstrText(exception.bstrDescription), OLESTR("Recorder failed"));
    EXPECT_EQ(BstrText(exception.bstrSource), OLESTR("Pravell.Recorder"));
    IErrorInfo* left = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &left), S_FALSE) << "the thread's slot was consumed";
    ClearException();

    // Without EXCEPINFO the call still fails with DISP_E_EXCEPTION, and the information stays
    // for the caller to read.
    EXPECT_EQ(DispInvoke(&recorder, info, Id(OLESTR("Ping")), DISPATCH_METHOD, none.Params(),
                         nullptr, nullptr, nullptr),
              DISP_E_EXCEPTION);
    ASSERT_EQ(GetErrorInfo(0, &left), S_OK);
    left->Release();

    // A failure without error information of its own takes what the thread's slot holds, as
    // the system takes it: a callee that fails is expected to set or clear the slot.
    recorder.Ping();
    recorder.raisesErrorInfo = false;
    recorder.answer = E_INVALIDARG;
    EXPECT_EQ(Call(OLESTR("Ping"), none), DISP_E_EXCEPTION);
    EXPECT_EQ(exception.scode, E_INVALIDARG);
    EXPECT_EQ(BstrText(exception.bstrDescription), OLESTR("Recorder failed"));
    ClearException();
    EXPECT_EQ(Call(OLESTR("Ping"), none), DISP_E_EXCEPTION);
    EXPECT_EQ(exception.bstrDescription, nullptr) << "taking it emptied the slot";
    EXPECT_EQ(GetErrorInfo(0, &left), S_FALSE);
    recorder.answer = S_FALSE;
    EXPECT_EQ(Call(OLESTR("Ping"), none), S_OK) << "S_FALSE is a success";
}

TEST_F(Dispatch, MalformedCallsAreRejectedBeforeTheMethodRuns) {
    // Wine calls a method given more arguments than it takes with the ones it needs; DispInvoke
    // is documented to answer DISP_E_BADPARAMCOUNT whenever the counts differ.
    EXPECT_EQ(Call(OLESTR("TakeText"), Arguments().Text(OLESTR("a")).Text(OLESTR("b"))),
              UnderWine() ? S_OK : DISP_E_BADPARAMCOUNT);
    recorder.calls.clear();

    Arguments none;
    EXPECT_EQ(Call(OLESTR("TakeText"), none), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(OLESTR("GiveText"), Arguments().I4(1)), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(DispInvoke(&recorder, info, 99, DISPATCH_METHOD, none.Params(), &result, &exception,
                         &argumentError),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(DispInvoke(&recorder, info, DISPID_VALUE, DISPATCH_METHOD, none.Params(), &result,
                         &exception, &argumentError),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Call(OLESTR("Ping"), none, DISPATCH_PROPERTYPUT), DISP_E_MEMBERNOTFOUND);

    // A named argument that names no parameter: DispInvoke is documented to answer
    // DISP_E_PARAMNOTFOUND; Wine counts the parameter left without an argument instead.
    Arguments named;
    named.Text(OLESTR("a"));
    DISPID parameter = 5;
    DISPPARAMS* params = named.Params();
    params->rgdispidNamedArgs = &parameter;
    params->cNamedArgs = 1;
    EXPECT_EQ(DispInvoke(&recorder, info, Id(OLESTR("TakeText")), DISPATCH_METHOD, params, &result,
                         &exception, &argumentError),
              UnderWine() ? DISP_E_BADPARAMCOUNT : DISP_E_PARAMNOTFOUND);
    ExpectArgumentError(0);
    EXPECT_TRUE(recorder.calls.empty());
}

// A named argument goes to the parameter its identifier numbers; the others fill the remaining
// parameters in order.
TEST_F(Dispatch, NamedArgumentsNameTheirParameters) {
    // rgvarg holds the named arguments first: the one added last.
    Arguments arguments;
    arguments.Text(OLESTR("n")).I4(3).I2(7);
    DISPID names[] = {2};
    DISPPARAMS* params = arguments.Params();
    params->rgdispidNamedArgs = names;
    params->cNamedArgs = 1;
    EXPECT_EQ(DispInvoke(&recorder, info, Id(OLESTR("TakeMixed")), DISPATCH_METHOD, params, &result,
                         &exception, &argumentError),
              S_OK);
    EXPECT_EQ(recorder.text, OLESTR("n"));
    EXPECT_EQ(recorder.number, 3);
    EXPECT_EQ(recorder.variantType, VT_I2);
}

TEST_F(Dispatch, NumbersOfEveryWidthAndStackArgumentsArriveInOrder) {
    DOUBLE total = 0.5;
    EXPECT_EQ(
        Call(OLESTR("AddUp"), Arguments().I2(-2).R4(0.25f).R8(1e10).I4(7).Reference(VT_R8, &total)),
        S_OK);
    EXPECT_EQ(total, 0.5 - 2 + 0.25 + 1e10 + 7) << "updated in place";

    // A value where an in-out number is written back is read in and the result dropped.
    EXPECT_EQ(Call(OLESTR("AddUp"), Arguments().I4(1).I4(2).Text(OLESTR("3")).R8(4).I4(10)), S_OK);

    Arguments many;
    for (LONG i = 0; i < 12; ++i) {
        many.I4(100 + i);
    }
    many.Text(OLESTR("last"));
    EXPECT_EQ(Call(OLESTR("TakeMany"), many), S_OK);
    ASSERT_EQ(recorder.many.size(), 12u);
    for (LONG i = 0; i < 12; ++i) {
        EXPECT_EQ(recorder.many[i], 100 + i);
    }
    EXPECT_EQ(recorder.text, OLESTR("last"));
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 12);

    // Values narrower than a register, each of its own sign.
    EXPECT_EQ(Call(OLESTR("AddSmall"), Arguments().I2(-3).I4(200).Bool(VARIANT_TRUE).I4(65535)),
              S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, -3 + 200 - 1 + 65535);
}

// Every description keeps what it learnt about calling its members for itself: the same
// identifiers in another interface, or in another copy of the library, stand for other calls.
TEST_F(Dispatch, IdentifiersNameTheirOwnDescriptionsMembers) {
    ITypeInfo* echoInfo = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IDispatchEcho, &echoInfo), S_OK);
    Echoer echo;
    Arguments none;
    EXPECT_EQ(Call(OLESTR("GiveText"), none), S_OK);
    EXPECT_EQ(Call(OLESTR("TakeText"), Arguments().Text(OLESTR("one"))), S_OK);
    Arguments number;
    number.I4(21);
    EXPECT_EQ(DispInvoke(&echo, echoInfo, 2, DISPATCH_METHOD, number.Params(), &result, &exception,
                         &argumentError),
              S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 42);
    VariantClear(&result);
    Arguments fraction;
    fraction.R8(1.5);
    EXPECT_EQ(DispInvoke(&echo, echoInfo, 1, DISPATCH_METHOD, fraction.Params(), &result,
                         &exception, &argumentError),
              S_OK);
    EXPECT_EQ(result.vt, VT_R8);
    EXPECT_EQ(result.dblVal, 1.5);
    EXPECT_EQ(Call(OLESTR("TakeText"), Arguments().Text(OLESTR("two"))), S_OK);
    EXPECT_EQ(recorder.text, OLESTR("two"));
    echoInfo->Release();

    // The interface half answers the calls of its dispatch half.
    HREFTYPE reference = 0;
    ITypeInfo* half = nullptr;
    ASSERT_EQ(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference), S_OK);
    ASSERT_EQ(info->GetRefTypeInfo(reference, &half), S_OK);
    VariantClear(&result);
    EXPECT_EQ(DispInvoke(&recorder, half, Id(OLESTR("GiveText")), DISPATCH_METHOD, none.Params(),
                         &result, &exception, &argumentError),
              S_OK);
    EXPECT_EQ(BstrText(result.bstrVal), OLESTR("given"));
    half->Release();

    // A second copy of the library calls the same way after the first one is gone.
    ITypeLib* copy = nullptr;
    ITypeInfo* copyInfo = nullptr;
    ASSERT_EQ(LoadTypeLib(Wide(PRAVELL_DISPATCH_TEST_TLB).c_str(), &copy), S_OK);
    ASSERT_EQ(copy->GetTypeInfoOfGuid(IID_IDispatchRecorder, &copyInfo), S_OK);
    copy->Release();
    info->Release();
    info = copyInfo;
    library->Release();
    library = nullptr;
    EXPECT_EQ(Call(OLESTR("TakeNumber"), Arguments().I4(8)), S_OK);
    EXPECT_EQ(recorder.number, 8);
}

// A member's first call may fail at any step; the calls after it must not inherit anything.
TEST_F(Dispatch, CallsAfterAFailedFirstCallSucceed) {
    EXPECT_EQ(Call(OLESTR("TakeMixed"), Arguments().I4(1)), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(OLESTR("TakeMixed"), Arguments().Text(OLESTR("n")).Text(OLESTR("x")).I4(1)),
              DISP_E_TYPEMISMATCH);
    ExpectArgumentError(1);
    EXPECT_EQ(Call(OLESTR("TakeMixed"), Arguments().Text(OLESTR("n")).I4(6).I4(1)), S_OK);
    EXPECT_EQ(recorder.number, 6);

    Arguments none;
    EXPECT_EQ(Call(OLESTR("Ping"), none, DISPATCH_PROPERTYPUT), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Call(OLESTR("Ping"), none), S_OK);

    recorder.answer = E_FAIL;
    EXPECT_EQ(Call(OLESTR("GiveText"), none), DISP_E_EXCEPTION);
    ClearException();
    recorder.answer = S_OK;
    EXPECT_EQ(Call(OLESTR("GiveText"), none), S_OK);
    EXPECT_EQ(BstrText(result.bstrVal), OLESTR("given"));
}

// Type information is shared by every object of a class, whatever thread calls them; the first
// calls of its members may come from several threads at once.
TEST_F(Dispatch, ThreadsMakingTheFirstCallsAtOnceAllArrive) {
    constexpr int threadCount = 4;
    constexpr int rounds = 20;
    std::atomic<bool> start{false};
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&, t] {
            Recorder own;
            auto invoke = [&](const OLECHAR* name, Arguments& arguments, VARIANT* value) {
                if (DispInvoke(&own, info, Id(name), DISPATCH_METHOD, arguments.Params(), value,
                               nullptr, nullptr) != S_OK) {
                    ++failures;
                }
            };
            while (!start) {
                std::this_thread::yield();
            }
            for (int round = 0; round < rounds; ++round) {
                VARIANT value{};
                Arguments none;
                invoke(OLESTR("GiveText"), none, &value);
                if (value.vt != VT_BSTR || BstrText(value.bstrVal) != OLESTR("given")) {
                    ++failures;
                }
                VariantClear(&value);
                DOUBLE total = 0;
                Arguments numbers;
                numbers.I2(1).R4(2).R8(3).I4(t).Reference(VT_R8, &total);
                invoke(OLESTR("AddUp"), numbers, nullptr);
                Arguments small;
                small.I2(-1).I4(t).Bool(VARIANT_FALSE).I4(round);
                invoke(OLESTR("AddSmall"), small, &value);
                if (total != 6 + t || value.vt != VT_I4 || value.lVal != t + round - 1) {
                    ++failures;
                }
            }
            if (own.calls.size() != 3u * rounds) {
                ++failures;
            }
        });
    }
    start = true;
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, 0);
}

} // namespace
