// Late binding: DispInvoke as the table of tests/data/latebinding says, the thread's error
// information that it turns into exceptions, and the identifier of IDispatchEx.
#include "dispatch_test_idl.h"
#include "host/HostObject.h"
#include "platform/com.h"
#include "support/CountingObject.h"
#include "support/SystemFacts.h"
#include "support/TypeLibSupport.h"
#include "typenames.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cstring>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

namespace {

template <typename T>
VARIANT Of(VARTYPE vt, T value) {
    VARIANT variant{};
    variant.vt = vt;
    std::memcpy(&variant.llVal, &value, sizeof(T));
    return variant;
}

// A new error information object; the caller holds its one reference.
IErrorInfo* NewErrorInfo(const OLECHAR* source, const OLECHAR* description) {
    ICreateErrorInfo* creator = nullptr;
    EXPECT_EQ(CreateErrorInfo(&creator), S_OK);
    creator->SetSource(const_cast<LPOLESTR>(source));
    creator->SetDescription(const_cast<LPOLESTR>(description));
    IErrorInfo* info = nullptr;
    EXPECT_EQ(creator->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
    creator->Release();
    return info;
}

ULONG References(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

// The text without its word " argument=N".
std::string WithoutArgumentIndex(std::string text) {
    const size_t at = text.find(" argument=");
    return at == std::string::npos ? text : text.erase(at, text.find(' ', at + 1) - at);
}

// Writes down each call with what it received, in the tables' notation, and answers `answer`
// with error information of its own, unless `silent`.
class Recorder : public Ostrel::HostObject<IDispatchRecorder, IID_IDispatchRecorder> {
public:
    explicit Recorder(const TableValues& notation) : notation(notation) {}

    HRESULT STDMETHODCALLTYPE TakeMixed(BSTR name, LONG index, VARIANT* value) override {
        return Record(__func__, {Of(VT_BSTR, name), Of(VT_I4, index), *value});
    }
    HRESULT STDMETHODCALLTYPE GiveText(BSTR* given) override {
        *given = SUCCEEDED(answer) ? SysAllocString(OLESTR("given")) : nullptr;
        return Record(__func__, {});
    }
    HRESULT STDMETHODCALLTYPE TakeVariant(VARIANT value) override {
        return Record(__func__, {value});
    }
    HRESULT STDMETHODCALLTYPE TakeObject(IDispatch* object) override {
        return Record(__func__, {Of(VT_DISPATCH, object)});
    }
    HRESULT STDMETHODCALLTYPE GiveRecorder(IDispatchRecorder** given) override {
        *given = this;
        AddRef();
        return Record(__func__, {});
    }
    HRESULT STDMETHODCALLTYPE GivePair(BSTR* name, BSTR* value) override {
        *name = SysAllocString(OLESTR("name"));
        *value = SysAllocString(OLESTR("value"));
        return Record(__func__, {});
    }
    HRESULT STDMETHODCALLTYPE GiveVariants(VARIANT* names, VARIANT* values) override {
        names->vt = VT_ARRAY | VT_BSTR;
        names->parray = SafeArrayCreateVector(VT_BSTR, 0, 2);
        values->vt = VT_BSTR;
        values->bstrVal = SysAllocString(OLESTR("values"));
        return Record(__func__, {});
    }
    HRESULT STDMETHODCALLTYPE AddUp(SHORT a, FLOAT b, DOUBLE c, LONG d, DOUBLE* total) override {
        const HRESULT hr = Record(
            "AddUp", {Of(VT_I2, a), Of(VT_R4, b), Of(VT_R8, c), Of(VT_I4, d), Of(VT_R8, *total)});
        *total += a + b + c + d;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE TakeMany(LONG a, LONG b, LONG c, LONG d, LONG e, LONG f, LONG g,
                                       LONG h, LONG i, LONG j, LONG k, LONG l, BSTR m,
                                       LONG* count) override {
        *count = 13;
        return Record("TakeMany",
                      {Of(VT_I4, a), Of(VT_I4, b), Of(VT_I4, c), Of(VT_I4, d), Of(VT_I4, e),
                       Of(VT_I4, f), Of(VT_I4, g), Of(VT_I4, h), Of(VT_I4, i), Of(VT_I4, j),
                       Of(VT_I4, k), Of(VT_I4, l), Of(VT_BSTR, m)});
    }
    HRESULT STDMETHODCALLTYPE AddSmall(SHORT a, BYTE b, VARIANT_BOOL c, USHORT d,
                                       LONG* total) override {
        *total = a + b + c + d;
        return Record(__func__, {Of(VT_I2, a), Of(VT_UI1, b), Of(VT_BOOL, c), Of(VT_UI2, d)});
    }
    HRESULT STDMETHODCALLTYPE Ping() override { return Record(__func__, {}); }

    const TableValues& notation;
    std::string received;
    HRESULT answer = S_OK;
    bool silent = false;

private:
    HRESULT Record(const char* method, std::initializer_list<VARIANT> values) {
        std::string list;
        for (const VARIANT& value : values) {
            list += (list.empty() ? "" : " ") + notation.Write(value);
        }
        received = method + ("(" + list + ")");
        if (FAILED(answer) && !silent) {
            IErrorInfo* info = NewErrorInfo(OLESTR("Pravell.Recorder"), OLESTR("Recorder failed"));
            SetErrorInfo(0, info);
            info->Release();
        }
        return answer;
    }
};

// The recorder's identifiers again, for members of other signatures.
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

class Dispatch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(LoadTypeLib(Wide(PRAVELL_DISPATCH_TEST_TLB).c_str(), &library), S_OK);
        ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IDispatchRecorder, &info), S_OK);
        ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IDispatchEcho, &echoInfo), S_OK);
        half = InterfaceHalfOf(info);
    }
    void TearDown() override {
        for (IUnknown* held : std::initializer_list<IUnknown*>{half, echoInfo, info, library}) {
            if (held != nullptr) {
                held->Release();
            }
        }
    }

    // Makes a call written as calls.txt writes one and answers what was seen, as it writes that.
    std::string Run(const std::string& call, Recorder& recorder, TableValues& values) {
        const std::vector<std::string> words = Words(call);
        const bool throughHalf = words[0].rfind("half:", 0) == 0;
        const OleString name(words[0].begin() + (throughHalf ? 5 : 0), words[0].end());
        LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
        ITypeInfo* described = throughHalf ? half : info;
        void* object = &recorder;
        DISPID id = std::isdigit(words[0][0]) ? std::stoi(words[0]) : DISPID_UNKNOWN;
        if (id == DISPID_UNKNOWN && DispGetIDsOfNames(described, names, 1, &id) != S_OK) {
            described = echoInfo;
            object = &echo;
            if (HRESULT hr = DispGetIDsOfNames(echoInfo, names, 1, &id); hr != S_OK) {
                return HresultName(hr);
            }
        }
        const auto references = values.References();
        std::vector<VARIANT> arguments;
        std::vector<DISPID> named;
        const std::map<std::string, WORD> flagNames = {{"METHOD", DISPATCH_METHOD},
                                                       {"PROPERTYGET", DISPATCH_PROPERTYGET},
                                                       {"PROPERTYPUT", DISPATCH_PROPERTYPUT}};
        WORD flags = 0;
        bool discards = false;
        recorder.answer = S_OK;
        recorder.silent = false;
        for (auto word = words.begin() + 1; word != words.end(); ++word) {
            if (word->rfind("answers=", 0) == 0) {
                recorder.answer = HresultNames().at(word->substr(8));
            } else if (flagNames.count(*word) != 0) {
                flags |= flagNames.at(*word);
            } else if (*word == "silent" || *word == "discards") {
                (*word == "silent" ? recorder.silent : discards) = true;
            } else {
                const bool isNamed = (*word)[0] == '@';
                if (isNamed) {
                    named.insert(named.begin(), std::stoi(word->substr(1)));
                }
                arguments.insert(arguments.begin(),
                                 values.Read(word->substr(isNamed ? word->find('=') + 1 : 0)));
            }
        }
        const std::vector<VARIANT> passed = arguments;
        DISPPARAMS params{arguments.data(), named.data(), static_cast<UINT>(arguments.size()),
                          static_cast<UINT>(named.size())};
        VARIANT result{};
        EXCEPINFO exception{};
        UINT argumentError = 99;
        recorder.received.clear();
        const HRESULT hr =
            DispInvoke(object, described, id, flags == 0 ? DISPATCH_METHOD : flags, &params,
                       discards ? nullptr : &result, discards ? nullptr : &exception,
                       discards ? nullptr : &argumentError);

        std::string seen = HresultName(hr);
        seen += argumentError != 99 ? " argument=" + std::to_string(argumentError) : "";
        seen += recorder.received.empty() ? "" : " " + recorder.received;
        seen += SUCCEEDED(hr) && result.vt != VT_EMPTY ? " result=" + values.Write(result) : "";
        for (auto argument = arguments.rbegin(); argument != arguments.rend(); ++argument) {
            seen += (argument->vt & VT_BYREF) != 0 ? " after=" + values.Write(*argument) : "";
        }
        if (hr == DISP_E_EXCEPTION && !discards) {
            seen += " exception=" + HresultName(exception.scode) + ":" +
                    values.Write(Of(VT_BSTR, exception.bstrSource)).substr(5) + ":" +
                    values.Write(Of(VT_BSTR, exception.bstrDescription)).substr(5);
        }
        for (size_t i = 0; i < passed.size(); ++i) {
            const bool changed = std::memcmp(&arguments[i], &passed[i], sizeof(VARIANT)) != 0;
            seen += changed ? " changed=" + std::to_string(i) : "";
        }
        VariantClear(&result);
        for (VARIANT& argument : arguments) {
            VariantClear(&argument);
        }
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        values.Forget();
        EXPECT_EQ(values.References(), references) << "every reference taken is given back";
        return seen;
    }

    ITypeLib* library = nullptr;
    ITypeInfo* info = nullptr;
    ITypeInfo* echoInfo = nullptr;
    ITypeInfo* half = nullptr;
    Echoer echo;
};

// calls.txt: one call a line, made in order by each of four threads that start at once, on
// recorders of their own through one copy of the type library. A member's first call, which
// prepares its later ones, is the first row that names it, and comes from several threads at once.
TEST_F(Dispatch, CallsAsTheTableSays) {
    const std::vector<std::string> rows = Rows("latebinding/calls.txt");
    std::atomic<bool> start{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            Ostrel::Testing::CountingObject host;
            Ostrel::Testing::CountingObject plain(false);
            TableValues values;
            Recorder recorder(values);
            values.objects = {{"host", &host}, {"plain", &plain}, {"recorder", &recorder}};
            while (!start) {
                std::this_thread::yield();
            }
            for (const std::string& line : rows) {
                SCOPED_TRACE(line);
                constexpr size_t npos = std::string::npos;
                const size_t arrow = line.find(" => ");
                const size_t wine = line.find(" wine=> ");
                std::string expected = line.substr(arrow + 4, wine - arrow - 4);
                std::string seen = Run(line.substr(0, arrow), recorder, values);
                // Wine's DispInvoke leaves the argument index alone; where it answers otherwise,
                // only its answer is checked.
                if (UnderWine()) {
                    expected =
                        WithoutArgumentIndex(wine == npos ? expected : line.substr(wine + 8));
                    seen =
                        WithoutArgumentIndex(wine == npos ? seen : seen.substr(0, seen.find(' ')));
                }
                EXPECT_EQ(seen, expected);
            }
        });
    }
    start = true;
    for (std::thread& thread : threads) {
        thread.join();
    }
}

// The thread's slot holds a reference of its own, released when it is replaced or emptied or
// when the thread ends; getting hands the reference over and empties the slot. Each thread has a
// slot of its own, and only slot 0 exists.
TEST(ErrorInfo, EachThreadHasItsOwnThatGetTakes) {
    IErrorInfo* first = NewErrorInfo(OLESTR("first"), nullptr);
    IErrorInfo* second = NewErrorInfo(OLESTR("second"), nullptr);
    ASSERT_EQ(SetErrorInfo(0, second), S_OK);
    HRESULT seenThere = E_FAIL;
    std::thread([&] {
        IErrorInfo* taken = nullptr;
        seenThere = GetErrorInfo(0, &taken);
        SetErrorInfo(0, first);
    }).join();
    EXPECT_EQ(seenThere, S_FALSE);
    EXPECT_EQ(References(first), 1u) << "released when its thread ended";
    IErrorInfo* taken = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &taken), S_OK);
    EXPECT_EQ(taken, second);
    EXPECT_EQ(References(second), 2u);
    taken->Release();
    ASSERT_EQ(SetErrorInfo(0, first), S_OK);
    ASSERT_EQ(SetErrorInfo(0, second), S_OK);
    ASSERT_EQ(SetErrorInfo(0, nullptr), S_OK);
    EXPECT_EQ(GetErrorInfo(0, &taken), S_FALSE);
    EXPECT_EQ(taken, nullptr);
    EXPECT_EQ(GetErrorInfo(0xDEADBEEF, &taken), E_INVALIDARG);
    EXPECT_EQ(SetErrorInfo(0xDEADBEEF, nullptr), E_INVALIDARG);
    EXPECT_EQ(GetErrorInfo(0, nullptr), E_INVALIDARG);
    EXPECT_EQ(first->Release(), 0u);
    EXPECT_EQ(second->Release(), 0u);
}

// Script engines built for the system ask for IDispatchEx by the system's identifier.
TEST(DispatchEx, IdentifierIsTheSystems) {
    EXPECT_EQ(GuidString(IID_IDispatchEx), "{A6EF9860-C720-11D0-9337-00A0C90DCAA9}");
}

} // namespace
