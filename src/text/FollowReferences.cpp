#include "text/FollowReferences.h"

namespace Ostrel {

namespace {

// Deeper chains come only from a host gone wrong (or one pointing a variant at itself).
constexpr int kLongestReferenceChain = 6;

} // namespace

VARIANT* FollowReferences(VARIANT* variant) {
    for (int followed = 0; variant != nullptr && variant->vt == (VT_BYREF | VT_VARIANT);
         ++followed) {
        if (followed == kLongestReferenceChain) {
            return nullptr;
        }
        variant = variant->pvarVal;
    }
    return variant;
}

} // namespace Ostrel
