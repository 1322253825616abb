// Name/value pairs of a tag. Names are compared with A to Z folded onto a to z and the other
// bytes taken unsigned; two names whose characters are the very same buffer are equal without
// comparing.
//
// While fewer than `sortThreshold` pairs are held, a pair is appended in insertion order and
// duplicates are allowed. The pair that arrives when the count equals the threshold sorts the
// collection by name (a quicksort, then one of every run of equal names is kept); from then on
// the collection stays sorted: each pair goes to its place by bisection and a name already
// present is rejected. Threshold 0 means sorted from the first pair. Lookup scans linearly while
// the count is at most the threshold, and bisects above it.
//
// Storage holds exactly count + spare pairs and grows by `growStep` pairs when full; it shrinks
// when two steps lie idle, and Clear frees it.
//
// Failures: a refused heap block throws std::bad_alloc; the pair being added is then not held
// (a sort it started may have happened), and every pair held stays intact. An index outside
// 0..Count() - 1 given to NameAt or ValueAt is a programming error and stops the process with a
// message.
#pragma once

#include "parser/ITaggedAttributes.h"
#include "parser/TextPairArray.h"
#include "platform/com.h"
#include "text/Text.h"

#include <cstdint>

namespace Ostrel {

class TaggedAttributes : public ITaggedAttributes {
public:
    // Starts empty without storage and with initialSize - growStep spare slots (none when that
    // is not positive), so with equal values, as every user passes, the first insertion
    // allocates `growStep` (1..16383) slots.
    TaggedAttributes(int16_t initialSize, int16_t growStep, uint16_t sortThreshold);
    // Growth step 3, threshold 0, then the source's CopyTo into the new collection.
    explicit TaggedAttributes(const ITaggedAttributes& source);
    // As from a reference; a null source gives an empty collection.
    explicit TaggedAttributes(const ITaggedAttributes* source);
    // Growth step 3, the source's threshold and sorted state, then the source's CopyTo.
    TaggedAttributes(const TaggedAttributes& source);
    TaggedAttributes& operator=(const TaggedAttributes&) = delete;

    bool Add(const IText& name, const IText& value) override;
    // The adding rule for texts the caller already holds; they are taken over, not shared.
    bool AddPair(Text&& name, Text&& value);
    bool Find(const IText& name, IText& value) const override;
    bool GetAt(LONG index, IText& name, IText& value) const override;
    bool AddAll(const ITaggedAttributes& source) override;
    bool CopyTo(ITaggedAttributes& target) const override;

    LONG Count() const { return pairs.Count(); }
    uint16_t SortThreshold() const { return sortThreshold; }
    bool IsSorted() const { return sorted; }
    // The storage itself, for walking the pairs in order and for its sizes.
    const TextPairArray& Pairs() const { return pairs; }
    const Text& NameAt(LONG index) const { return pairs[index].name; }
    const Text& ValueAt(LONG index) const { return pairs[index].value; }

    // Position of the first pair of that name by the lookup rule; *index is left untouched
    // when the name is absent.
    bool FindIndex(const IText& name, LONG* index) const;
    // Replaces the value at a position, which keeps its place; false outside 0..Count() - 1.
    bool SetValueAt(LONG index, const IText& value);
    // Storage for exactly `total` pairs, placed as asked, while nothing is stored (and total fits
    // the 16-bit spare); pairs beyond it grow the storage by the growth step as usual.
    void Reserve(LONG total, BlockMemory::Placement placement = BlockMemory::Placement::Heap);
    // Frees the storage and returns to the unsorted state.
    void Clear();

private:
    // The position of the first pair of that name, or -1.
    LONG IndexOf(const char* name) const;
    // The first position whose name does not compare less than `name`.
    LONG LowerBound(const char* name) const;
    void Store(LONG at, Text&& name, Text&& value);
    void Sort();
    void QuickSort(LONG first, LONG last);
    void RemoveDuplicates();

    TextPairArray pairs;
    uint16_t sortThreshold;
    // Set by the first sort (or the first pair under threshold 0); only Clear resets it.
    bool sorted = false;
};

} // namespace Ostrel
