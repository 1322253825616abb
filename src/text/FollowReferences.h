// Script hosts pass their variables as references to variants (VT_BYREF | VT_VARIANT), and the
// system's late binding may hand such a reference on unchanged, even for a parameter declared
// as a plain VARIANT; a host may also wrap one reference in another. Every variant the system
// reads from a host goes through FollowReferences first, so that it sees the value itself.
#pragma once

#include "platform/com.h"

namespace Ostrel {

// The variant that `variant` stands for: references to variants are followed, at most six deep,
// to the first variant that is not one. Null for a null variant, a null reference on the way and
// a longer chain. The answer lives as long as what the chain points at. Not const: some
// systems' VariantChangeType takes its source as a plain pointer.
VARIANT* FollowReferences(VARIANT* variant);

} // namespace Ostrel
