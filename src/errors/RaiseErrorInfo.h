// Hands an object's pending failure to its host as the calling thread's automation error
// information, whose description a host language shows (for example as an exception's text).
#pragma once

#include "errors/IErrorProvider.h"
#include "platform/com.h"

namespace Ostrel {

// With a message pending in `provider`: installs a new error object whose description is the
// message (only the description is set), clears the provider and answers S_OK. Without one, or
// when no error object can be made, answers E_NOINTERFACE and changes nothing. When the
// description cannot be stored (out of memory), answers that failure and keeps the message
// pending, so that the next hand-over still delivers it. Never throws.
HRESULT RaiseErrorInfo(IErrorProvider& provider);

} // namespace Ostrel
