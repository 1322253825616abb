#include "DescriptorTransfer.h"

#include "host/HeldException.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace Ostrel {

HRESULT DescriptorTransfer::Write(VARIANT data) {
    const VARTYPE element = data.vt & ~VT_ARRAY;
    if ((data.vt & VT_ARRAY) == 0 || (element != VT_I1 && element != VT_UI1) ||
        data.parray == nullptr || SafeArrayGetDim(data.parray) != 1) {
        return E_INVALIDARG;
    }
    LONG lower = 0;
    LONG upper = -1;
    void* bytes = nullptr;
    if (FAILED(SafeArrayGetLBound(data.parray, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(data.parray, 1, &upper)) ||
        FAILED(SafeArrayAccessData(data.parray, &bytes))) {
        return E_INVALIDARG;
    }
    const auto length = static_cast<size_t>(static_cast<int64_t>(upper) - lower + 1);
    const HRESULT sent = HoldExceptions(
        [&] { return Collect(static_cast<const BYTE*>(bytes), length) ? S_OK : E_FAIL; });
    SafeArrayUnaccessData(data.parray);
    return sent;
}

HRESULT DescriptorTransfer::Read(LONG maxLength, VARIANT* data) {
    if (data == nullptr || maxLength < 0) {
        return E_INVALIDARG;
    }
    VariantInit(data);
    const HRESULT filled =
        HoldExceptions([&] { return Fill(static_cast<size_t>(maxLength)) ? S_OK : E_FAIL; });
    if (FAILED(filled)) {
        return filled;
    }
    SAFEARRAY* array = SafeArrayCreateVector(VT_I1, 0, static_cast<ULONG>(incoming.size()));
    void* bytes = nullptr;
    if (array == nullptr || FAILED(SafeArrayAccessData(array, &bytes))) {
        SafeArrayDestroy(array);
        return E_OUTOFMEMORY;
    }
    if (!incoming.empty()) {
        std::memcpy(bytes, incoming.data(), incoming.size());
    }
    SafeArrayUnaccessData(array);
    data->vt = VT_ARRAY | VT_I1;
    data->parray = array;
    progress.Add(incoming.size());
    if (ended) {
        progress.Finish();
    }
    return S_OK;
}

HRESULT DescriptorTransfer::Unread(LONG) {
    return E_NOTIMPL;
}

bool DescriptorTransfer::Fill(size_t wanted) {
    incoming.resize(wanted);
    size_t delivered = 0;
    while (!ended && errorNumber == 0 && delivered < wanted) {
        const ssize_t got = read(descriptor, incoming.data() + delivered, wanted - delivered);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return Fail(errno);
        }
        ended = got == 0;
        delivered += static_cast<size_t>(got);
    }
    incoming.resize(delivered);
    return errorNumber == 0;
}

bool DescriptorTransfer::Collect(const BYTE* bytes, size_t length) {
    if (errorNumber != 0) {
        return false;
    }
    if (outgoing.size() + length > kBufferSize && !Flush()) {
        return false;
    }
    if (length >= kBufferSize) {
        return SendAll(bytes, length);
    }
    outgoing.insert(outgoing.end(), bytes, bytes + length);
    return true;
}

bool DescriptorTransfer::Flush() {
    if (errorNumber != 0) {
        return false;
    }
    const bool sent = SendAll(outgoing.data(), outgoing.size());
    outgoing.clear();
    return sent;
}

bool DescriptorTransfer::SendAll(const BYTE* bytes, size_t length) {
    while (length > 0) {
        const ssize_t sent = write(descriptor, bytes, length);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            // A descriptor that takes nothing without saying why would loop here for ever.
            return Fail(sent < 0 ? errno : EIO);
        }
        bytes += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

bool DescriptorTransfer::Fail(int error) {
    errorNumber = error;
    outgoing.clear();
    progress.Finish();
    return false;
}

} // namespace Ostrel
