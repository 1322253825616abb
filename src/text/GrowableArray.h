// The system's one sequence container: a block of count + spare elements that grows in whole
// growth steps and gives memory back only when two steps lie idle.
//
// Elements of class type (Text, pairs of Text) are constructed empty when inserted, destroyed
// when removed, and relocated by constructing the new element from the old and destroying the
// old: a borrowed text header holds the addresses of its sharers, so a bitwise move would leave
// it pointing at the old places. Trivially copyable elements are relocated with realloc and are
// left uninitialised when inserted.
//
// Contract violations (an index or position out of range, a growth step outside 1..16383, a
// SetSize whose idle room does not fit the 16-bit spare) are programming errors and stop the
// process with a message, in every build: the check is one comparison and the alternative is
// reading or writing outside the block. Growing past 2^31 - 1 elements throws std::length_error
// and a refused heap block throws std::bad_alloc; the array is unchanged in both cases.
#pragma once

#include "platform/com.h"
#include "text/BlockMemory.h"
#include "text/ProgrammingError.h"
#include "text/RegionMemory.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace Ostrel {

template <typename T>
class GrowableArray {
public:
    // The largest step for which the shrink rule's result (below two steps) fits the spare.
    static constexpr int16_t kLargestGrowStep = 16383;

    explicit GrowableArray(int16_t step = 10, int16_t initialSpare = 0)
        : spare(initialSpare), growStep(step) {
        if (step < 1 || step > kLargestGrowStep) {
            ProgrammingError("growable array: growth step outside 1..16383");
        }
        if (initialSpare < 0) {
            ProgrammingError("growable array: negative initial spare");
        }
    }
    ~GrowableArray() { Clear(); }
    GrowableArray(const GrowableArray&) = delete;
    GrowableArray& operator=(const GrowableArray&) = delete;

    // delta > 0 inserts delta empty elements before position (at the end for -1); delta < 0
    // removes -delta elements from position on (the last ones for -1); 0 does nothing.
    void Resize(LONG delta, LONG position = -1) {
        if (delta > 0) {
            Insert(delta, position);
        } else if (delta < 0) {
            Remove(-static_cast<int64_t>(delta), position);
        }
    }

    // Taken by value so that appending an element of this very array is safe across growth.
    void Append(T element) {
        Insert(1, -1);
        elements[count - 1] = std::move(element);
    }

    // Inserts one element made from the arguments (as T{arguments...}, so the parts of an
    // aggregate are taken over one by one) before `position` (at the end for -1), without first
    // making an empty one. Passing an argument on must not throw: the room is already counted.
    template <typename... Arguments>
    void Emplace(LONG position, Arguments&&... arguments) {
        static_assert(
            (std::is_nothrow_constructible<std::decay_t<Arguments>, Arguments&&>::value && ...),
            "arguments that are passed on without throwing");
        const LONG at = OpenGap(1, position);
        new (elements + at) T{std::forward<Arguments>(arguments)...};
    }

    // Storage of exactly `capacity` elements, the first `newCount` of them in use. A new block is
    // placed as asked; the block stays where it is when its capacity does not change.
    void SetSize(LONG newCount, LONG capacity,
                 BlockMemory::Placement placement = BlockMemory::Placement::Heap) {
        if (newCount < 0 || capacity < newCount || capacity - newCount > INT16_MAX) {
            ProgrammingError("growable array: SetSize outside 0 <= count <= capacity <= "
                             "count + 32767");
        }
        const LONG storage = Storage();
        if (newCount < count) {
            Destroy(newCount, count - newCount);
            count = newCount;
        }
        if (capacity != storage) {
            Relocate(capacity, placement);
        }
        Construct(count, newCount - count);
        count = newCount;
        spare = static_cast<int16_t>(capacity - newCount);
    }

    void Clear() {
        Destroy(0, count);
        BlockMemory::Release(elements);
        elements = nullptr;
        count = 0;
        spare = 0;
    }

    T& operator[](LONG index) { return elements[Checked(index)]; }
    const T& operator[](LONG index) const { return elements[Checked(index)]; }

    LONG Count() const { return count; }
    int16_t Spare() const { return spare; }
    int16_t GrowStep() const { return growStep; }
    // Elements the block holds; 0 while nothing is allocated.
    LONG Storage() const { return elements == nullptr ? 0 : count + spare; }
    bool IsEmpty() const { return count == 0; }

    T* begin() { return elements; }
    T* end() { return elements + count; }
    const T* begin() const { return elements; }
    const T* end() const { return elements + count; }

private:
    static constexpr bool kBitwise = std::is_trivially_copyable<T>::value;

    // The one growth rule: the smallest whole number of steps that covers the shortfall.
    static int64_t GrowthFor(int64_t shortfall, int16_t step) {
        return (shortfall + step - 1) / step * step;
    }

    LONG Checked(LONG index) const {
        if (index < 0 || index >= count) {
            ProgrammingError("growable array: index out of range");
        }
        return index;
    }

    void CheckPosition(LONG position) const {
        if (position != -1 && (position < 0 || position > count)) {
            ProgrammingError("growable array: position out of range");
        }
    }

    void Insert(LONG delta, LONG position) {
        const LONG at = OpenGap(delta, position);
        Construct(at, delta);
    }

    // Room for `delta` elements before `position`, counted as in use but not constructed; the
    // caller constructs them before anything can throw. Answers where the room starts.
    LONG OpenGap(LONG delta, LONG position) {
        CheckPosition(position);
        int64_t capacity = int64_t{count} + spare;
        if (spare < delta) {
            capacity += GrowthFor(int64_t{delta} - spare, growStep);
        }
        if (capacity > INT32_MAX) {
            throw std::length_error("growable array: more than 2147483647 elements");
        }
        if (elements == nullptr || capacity != int64_t{count} + spare) {
            Relocate(static_cast<LONG>(capacity));
        }
        const LONG at = position == -1 ? count : position;
        MoveUp(at, delta);
        count += delta;
        spare = static_cast<int16_t>(capacity - count);
        return at;
    }

    void Remove(int64_t n, LONG position) {
        CheckPosition(position);
        int64_t at = position;
        if (at == -1) {
            at = count - n;
            if (at < 0) {
                n += at;
                at = 0;
            }
        }
        if (n > count - at) {
            n = count - at;
        }
        const int64_t storage = Storage();
        Destroy(static_cast<LONG>(at), static_cast<LONG>(n));
        MoveDown(static_cast<LONG>(at + n), static_cast<LONG>(n));
        int64_t idle = spare + n;
        if (idle >= 2 * int64_t{growStep}) {
            idle = growStep + idle % growStep;
        }
        count -= static_cast<LONG>(n);
        spare = static_cast<int16_t>(idle);
        if (elements != nullptr && count + spare != storage) {
            Relocate(count + spare);
        }
    }

    // Moves the `count` live elements into a block of `capacity` elements: a heap block grows or
    // shrinks where it can, a block for a region is always new. A block too large for a region
    // stays on the heap, where shrinking it costs no copy and no second block.
    void Relocate(LONG capacity, BlockMemory::Placement placement = BlockMemory::Placement::Heap) {
        // NOLINTNEXTLINE(bugprone-sizeof-expression): T may be a pointer; elements are T's.
        const size_t bytes = static_cast<size_t>(capacity) * sizeof(T);
        if (bytes > RegionMemory::kLargestBlock) {
            placement = BlockMemory::Placement::Heap;
        }
        if (kBitwise && capacity == 0) {
            BlockMemory::Release(elements);
            elements = nullptr;
        } else if (kBitwise && placement == BlockMemory::Placement::Heap) {
            elements = static_cast<T*>(BlockMemory::Reallocate(elements, bytes));
        } else {
            T* fresh =
                capacity == 0 ? nullptr : static_cast<T*>(BlockMemory::Allocate(bytes, placement));
            for (LONG i = 0; i < count; ++i) {
                Move(elements + i, fresh + i);
            }
            BlockMemory::Release(elements);
            elements = fresh;
        }
    }

    // Moves elements [from, count) up by `delta` places, into room the block already has.
    void MoveUp(LONG from, LONG delta) {
        if (from == count) {
            return;
        }
        if constexpr (kBitwise) {
            std::memmove(static_cast<void*>(elements + from + delta), elements + from,
                         // NOLINTNEXTLINE(bugprone-sizeof-expression): as in Relocate
                         static_cast<size_t>(count - from) * sizeof(T));
        } else {
            for (LONG i = count - 1; i >= from; --i) {
                Move(elements + i, elements + i + delta);
            }
        }
    }

    // Moves elements [from, count) down by `delta` places, over destroyed ones.
    void MoveDown(LONG from, LONG delta) {
        // `from` never passes `count`; testing >= rather than == shows the compiler that the
        // byte count below is positive (it cannot follow Remove's clamping and would warn).
        if (from >= count) {
            return;
        }
        if constexpr (kBitwise) {
            std::memmove(static_cast<void*>(elements + from - delta), elements + from,
                         // NOLINTNEXTLINE(bugprone-sizeof-expression): as in Relocate
                         static_cast<size_t>(count - from) * sizeof(T));
        } else {
            for (LONG i = from; i < count; ++i) {
                Move(elements + i, elements + i - delta);
            }
        }
    }

    static void Move(T* from, T* to) {
        new (to) T(std::move(*from));
        from->~T();
    }

    void Construct(LONG first, LONG n) {
        for (LONG i = 0; i < n; ++i) {
            new (elements + first + i) T;
        }
    }

    void Destroy(LONG first, LONG n) {
        if constexpr (!std::is_trivially_destructible<T>::value) {
            for (LONG i = 0; i < n; ++i) {
                elements[first + i].~T();
            }
        }
    }

    T* elements = nullptr;
    LONG count = 0;
    int16_t spare;
    int16_t growStep;
};

} // namespace Ostrel
