#include "parser/TaggedAttributes.h"

#include <algorithm>
#include <utility>

namespace Ostrel {

namespace {

constexpr int16_t kCopyGrowStep = 3;

// The characters of an IText without taking a share in its buffer: lookups stay free of
// reference counting and of sharer lists.
const char* CharsOf(const IText& text) {
    LONG form = IText::kTextForm;
    const void* answer = text.GetText(&form);
    if (form == IText::kTextForm) {
        return static_cast<const Text*>(answer)->c_str();
    }
    return answer == nullptr ? "" : static_cast<const char*>(answer);
}

int CompareNames(const Text& stored, const char* name) {
    return stored.c_str() == name ? 0 : stored.CompareNoCase(name);
}

int16_t InitialSpare(int16_t initialSize, int16_t growStep) {
    return static_cast<int16_t>(std::max(0, initialSize - growStep));
}

} // namespace

TaggedAttributes::TaggedAttributes(int16_t initialSize, int16_t growStep, uint16_t sortThreshold)
    : pairs(growStep, InitialSpare(initialSize, growStep)), sortThreshold(sortThreshold) {}

TaggedAttributes::TaggedAttributes(const ITaggedAttributes& source)
    : TaggedAttributes(kCopyGrowStep, kCopyGrowStep, 0) {
    source.CopyTo(*this);
}

TaggedAttributes::TaggedAttributes(const ITaggedAttributes* source)
    : TaggedAttributes(kCopyGrowStep, kCopyGrowStep, 0) {
    if (source != nullptr) {
        source->CopyTo(*this);
    }
}

// Taking the sorted state along makes the copy behave as the source would: a source sorted
// before the duplicates it dropped brought it below its threshold keeps refusing names.
TaggedAttributes::TaggedAttributes(const TaggedAttributes& source)
    : ITaggedAttributes(), pairs(kCopyGrowStep, 0), sortThreshold(source.sortThreshold),
      sorted(source.sorted) {
    source.CopyTo(*this);
}

bool TaggedAttributes::Add(const IText& name, const IText& value) {
    return AddPair(Text(&name), Text(&value));
}

bool TaggedAttributes::Find(const IText& name, IText& value) const {
    const LONG at = IndexOf(CharsOf(name));
    if (at < 0) {
        return false;
    }
    value.Assign(pairs[at].value);
    return true;
}

bool TaggedAttributes::GetAt(LONG index, IText& name, IText& value) const {
    if (index < 0 || index >= pairs.Count()) {
        return false;
    }
    name.Assign(pairs[index].name);
    value.Assign(pairs[index].value);
    return true;
}

bool TaggedAttributes::AddAll(const ITaggedAttributes& source) {
    Text name;
    Text value;
    for (LONG i = 0; source.GetAt(i, name, value); ++i) {
        if (!AddPair(Text(name), Text(value))) {
            return false;
        }
    }
    return true;
}

// Walks by index over the pairs held at the start: the target may be this collection, whose
// storage moves as it grows. Such a copy appends while unsorted and ends at its first sort,
// since the pair being added is then already present.
bool TaggedAttributes::CopyTo(ITaggedAttributes& target) const {
    const LONG count = pairs.Count();
    for (LONG i = 0; i < count; ++i) {
        if (!target.Add(pairs[i].name, pairs[i].value)) {
            return false;
        }
    }
    return true;
}

bool TaggedAttributes::FindIndex(const IText& name, LONG* index) const {
    const LONG at = IndexOf(CharsOf(name));
    if (at < 0) {
        return false;
    }
    if (index != nullptr) {
        *index = at;
    }
    return true;
}

bool TaggedAttributes::SetValueAt(LONG index, const IText& value) {
    if (index < 0 || index >= pairs.Count()) {
        return false;
    }
    pairs[index].value = Text(&value);
    return true;
}

void TaggedAttributes::Reserve(LONG total, BlockMemory::Placement placement) {
    if (pairs.Storage() == 0 && total > 0 && total <= INT16_MAX) {
        pairs.SetSize(0, total, placement);
    }
}

void TaggedAttributes::Clear() {
    pairs.Clear();
    sorted = false;
}

// A sort can drop duplicates below the threshold; the collection stays sorted all the same,
// so that a name once refused is always refused.
bool TaggedAttributes::AddPair(Text&& name, Text&& value) {
    if (!sorted) {
        if (pairs.Count() < sortThreshold) {
            Store(pairs.Count(), std::move(name), std::move(value));
            return true;
        }
        if (pairs.Count() != 0) {
            Sort();
        }
        sorted = true;
    }
    const LONG at = LowerBound(name.c_str());
    if (at < pairs.Count() && CompareNames(pairs[at].name, name.c_str()) == 0) {
        return false;
    }
    Store(at, std::move(name), std::move(value));
    return true;
}

LONG TaggedAttributes::IndexOf(const char* name) const {
    if (pairs.Count() <= sortThreshold) {
        for (LONG i = 0; i < pairs.Count(); ++i) {
            if (CompareNames(pairs[i].name, name) == 0) {
                return i;
            }
        }
        return -1;
    }
    const LONG at = LowerBound(name);
    return at < pairs.Count() && CompareNames(pairs[at].name, name) == 0 ? at : -1;
}

LONG TaggedAttributes::LowerBound(const char* name) const {
    LONG low = 0;
    LONG high = pairs.Count();
    while (low < high) {
        const LONG middle = low + (high - low) / 2;
        if (CompareNames(pairs[middle].name, name) < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

// The texts are made before the slot: growing may throw, and then nothing has changed.
void TaggedAttributes::Store(LONG at, Text&& name, Text&& value) {
    pairs.Emplace(at, std::move(name), std::move(value));
}

void TaggedAttributes::Sort() {
    QuickSort(0, pairs.Count() - 1);
    RemoveDuplicates();
}

// Hoare partitioning around the middle element. The pivot is held as its characters: pairs
// move only by their move operations, which keep every text's characters where they are.
// Recursing into the smaller part bounds the depth by log2 of the count.
void TaggedAttributes::QuickSort(LONG first, LONG last) {
    while (first < last) {
        const char* pivot = pairs[first + (last - first) / 2].name.c_str();
        LONG low = first;
        LONG high = last;
        while (low <= high) {
            while (CompareNames(pairs[low].name, pivot) < 0) {
                ++low;
            }
            while (CompareNames(pairs[high].name, pivot) > 0) {
                --high;
            }
            if (low <= high) {
                if (low != high) {
                    std::swap(pairs[low], pairs[high]);
                }
                ++low;
                --high;
            }
        }
        if (high - first < last - low) {
            QuickSort(first, high);
            first = low;
        } else {
            QuickSort(low, last);
            last = high;
        }
    }
}

// Keeps the first of every run of equal names; the rest are removed in one step, which leaves
// the same spare as removing them one by one.
void TaggedAttributes::RemoveDuplicates() {
    LONG kept = 0;
    for (LONG i = 1; i < pairs.Count(); ++i) {
        if (CompareNames(pairs[i].name, pairs[kept].name.c_str()) == 0) {
            continue;
        }
        ++kept;
        if (kept != i) {
            pairs[kept] = std::move(pairs[i]);
        }
    }
    pairs.Resize(kept + 1 - pairs.Count());
}

} // namespace Ostrel
