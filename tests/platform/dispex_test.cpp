#include "platform/com.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// The table slot of a virtual method: under the Itanium C++ ABI, which every Linux compiler
// follows, a pointer to a virtual member holds one more than the slot's offset in bytes.
template <typename Method>
size_t SlotOf(Method method) {
    ptrdiff_t offset = 0;
    std::memcpy(&offset, &method, sizeof(offset));
    return static_cast<size_t>(offset - 1) / sizeof(void*);
}

// Script engines built for the system call IDispatchEx by its identifier and table slots: the
// seven of IDispatch, then its own eight in the system's order.
TEST(DispatchEx, IdentifierAndTableAreTheSystems) {
    OLECHAR text[39] = {};
    ASSERT_EQ(StringFromGUID2(IID_IDispatchEx, text, 39), 39);
    EXPECT_EQ(std::string(text, text + 38), "{A6EF9860-C720-11D0-9337-00A0C90DCAA9}");

    EXPECT_EQ(SlotOf(&IDispatchEx::Invoke), 6u);
    EXPECT_EQ(SlotOf(&IDispatchEx::GetDispID), 7u);
    EXPECT_EQ(SlotOf(&IDispatchEx::InvokeEx), 8u);
    EXPECT_EQ(SlotOf(&IDispatchEx::DeleteMemberByName), 9u);
    EXPECT_EQ(SlotOf(&IDispatchEx::DeleteMemberByDispID), 10u);
    EXPECT_EQ(SlotOf(&IDispatchEx::GetMemberProperties), 11u);
    EXPECT_EQ(SlotOf(&IDispatchEx::GetMemberName), 12u);
    EXPECT_EQ(SlotOf(&IDispatchEx::GetNextDispID), 13u);
    EXPECT_EQ(SlotOf(&IDispatchEx::GetNameSpaceParent), 14u);
}

} // namespace
