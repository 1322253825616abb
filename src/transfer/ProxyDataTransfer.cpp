#include "transfer/ProxyDataTransfer.h"

#include "text/FollowReferences.h"
#include "text/TextList.h"

#include <cstring>

namespace Ostrel {

namespace {

enum Member : UINT { kWrite, kRead, kUnread };

const OLECHAR* const kMemberNames[] = {OLESTR("Write"), OLESTR("Read"), OLESTR("Unread")};

IDispatchDataTransfer* EarlyInterface(IDispatch* host) {
    void* found = nullptr;
    if (host == nullptr || host->QueryInterface(IID_IDispatchDataTransfer, &found) < 0) {
        return nullptr;
    }
    return static_cast<IDispatchDataTransfer*>(found);
}

VARIANT Integer(LONG value) {
    VARIANT number{};
    number.vt = VT_I4;
    number.lVal = value;
    return number;
}

} // namespace

ProxyDataTransfer::ProxyDataTransfer(IDispatch* host)
    : host(host), early(EarlyInterface(host)),
      named(early == nullptr ? host : nullptr, kMemberNames, 3) {
    if (host != nullptr) {
        host->AddRef();
    }
}

ProxyDataTransfer::~ProxyDataTransfer() {
    if (early != nullptr) {
        early->Release();
    }
    if (host != nullptr) {
        host->Release();
    }
}

void ProxyDataTransfer::AddRef() {
    ++references;
}

void ProxyDataTransfer::Release() {
    if (--references == 0) {
        delete this;
    }
}

bool ProxyDataTransfer::Write(const void* data, LONG length) {
    if (length < 0 || (early == nullptr && !named.Has(kWrite))) {
        return false;
    }
    // Scripts read bytes only from arrays of VT_UI1 (VBScript's MidB, a stream object's Write);
    // the interface's callers were promised VT_I1.
    const VARTYPE elementType = early != nullptr ? VT_I1 : VT_UI1;
    SAFEARRAYBOUND bound = {static_cast<ULONG>(length), 0};
    SAFEARRAY* array = SafeArrayCreate(elementType, 1, &bound);
    if (array == nullptr) {
        return false;
    }
    VARIANT bytes{};
    bytes.vt = VT_ARRAY | elementType;
    bytes.parray = array;
    bool written = false;
    void* elements = nullptr;
    if (SafeArrayAccessData(array, &elements) >= 0) {
        if (length > 0) {
            std::memcpy(elements, data, static_cast<size_t>(length));
        }
        SafeArrayUnaccessData(array);
        const HRESULT answer =
            early != nullptr ? early->Write(bytes) : named.Call(kWrite, &bytes, 1);
        written = answer >= 0;
    }
    VariantClear(&bytes);
    return written;
}

bool ProxyDataTransfer::Read(void* buffer, LONG maxLength, uint32_t* bytesRead) {
    if (maxLength < 0 || bytesRead == nullptr) {
        return false;
    }
    VARIANT data{};
    VARIANT byReference{};
    bool read = false;
    if (CallRead(maxLength, data, byReference) >= 0) {
        read = TakeBytes(ReadAnswer(data, byReference), buffer, maxLength, bytesRead);
    }
    VariantClear(&data);
    VariantClear(&byReference);
    return read;
}

HRESULT ProxyDataTransfer::CallRead(LONG maxLength, VARIANT& data, VARIANT& byReference) {
    if (early != nullptr) {
        return early->Read(maxLength, &data);
    }
    return CallReadByName(maxLength, data, byReference);
}

HRESULT ProxyDataTransfer::CallReadByName(LONG maxLength, VARIANT& data, VARIANT& byReference) {
    VARIANT arguments[2] = {Integer(maxLength), {}};
    VariantInit(&arguments[1]);
    arguments[1].vt = VT_BYREF | VT_VARIANT;
    arguments[1].pvarVal = &byReference;
    if (!readTakesOutArgument) {
        const HRESULT answer = named.Call(kRead, arguments, 1, &data);
        // A script's Read that takes the out argument refuses a call without it before running.
        if (answer != DISP_E_BADPARAMCOUNT) {
            return answer;
        }
        readTakesOutArgument = true;
    }
    return named.Call(kRead, arguments, 2, &data);
}

VARIANT* ProxyDataTransfer::ReadAnswer(VARIANT& data, VARIANT& byReference) const {
    VARIANT* value = FollowReferences(&data);
    // A script's Read that fills the argument returns nothing.
    if (early == nullptr && value != nullptr && value->vt == VT_EMPTY) {
        return FollowReferences(&byReference);
    }
    return value;
}

bool ProxyDataTransfer::TakeBytes(const VARIANT* answer, void* buffer, LONG maxLength,
                                  uint32_t* bytesRead) const {
    if (answer == nullptr) {
        return false;
    }
    // A script's stream answers Null (or nothing) once its data is used up.
    if (early == nullptr && (answer->vt == VT_NULL || answer->vt == VT_EMPTY)) {
        *bytesRead = 0;
        return true;
    }
    VARIANT data = *answer;
    SAFEARRAY* array = ResolveVariant(data);
    // The element size guards against a variant that names bytes over an array of other things.
    if (array == nullptr || SafeArrayGetDim(array) != 1 || array->cbElements != 1) {
        return false;
    }
    const VARTYPE elementType = data.vt & ~0xF000;
    if (elementType != VT_I1 && (early != nullptr || elementType != VT_UI1)) {
        return false;
    }
    void* elements = nullptr;
    if (SafeArrayAccessData(array, &elements) < 0) {
        return false;
    }
    LONG lower = 0;
    LONG upper = 0;
    bool taken = false;
    if (SafeArrayGetLBound(array, 1, &lower) >= 0 && SafeArrayGetUBound(array, 1, &upper) >= 0) {
        const int64_t count = static_cast<int64_t>(upper) - lower + 1;
        if (count >= 0 && count <= maxLength) {
            if (count > 0) {
                std::memcpy(buffer, elements, static_cast<size_t>(count));
            }
            *bytesRead = static_cast<uint32_t>(count);
            taken = true;
        }
    }
    SafeArrayUnaccessData(array);
    return taken;
}

bool ProxyDataTransfer::Unread(LONG count) {
    if (count < 0) {
        return false;
    }
    if (early != nullptr) {
        return early->Unread(count) >= 0;
    }
    const VARIANT argument = Integer(count);
    return named.Call(kUnread, &argument, 1) >= 0;
}

} // namespace Ostrel
