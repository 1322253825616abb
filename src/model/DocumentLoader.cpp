#include "model/DocumentLoader.h"

#include "model/XMLModel.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace Ostrel {

namespace {

bool IsWhiteSpace(char c) {
    constexpr uint64_t kBlanks = 1ull << ' ' | 1ull << '\t' | 1ull << '\n' | 1ull << '\r';
    const auto byte = static_cast<unsigned char>(c);
    return byte <= ' ' && (kBlanks >> byte & 1) != 0;
}

bool IsAllWhiteSpace(const char* chars, int length) {
    // Indentation is mostly blanks: eight at a time first.
    constexpr uint64_t kEightBlanks = 0x2020202020202020ull;
    int i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t word = 0;
        std::memcpy(&word, chars + i, sizeof word);
        if (word != kEightBlanks) {
            break;
        }
    }
    for (; i < length; ++i) {
        if (!IsWhiteSpace(chars[i])) {
            return false;
        }
    }
    return true;
}

LONG LengthOf(const char* chars) {
    return static_cast<LONG>(std::strlen(chars));
}

} // namespace

DocumentLoader::DocumentLoader(XMLModel& model) : model(model), tokenizer(*this) {}

bool DocumentLoader::Load(IDataTransfer& source) {
    return Begin() && Finish(tokenizer.Parse(source));
}

bool DocumentLoader::Load(const Text& xml) {
    return Begin() && Finish(tokenizer.Parse(xml.c_str(), xml.Length()));
}

bool DocumentLoader::Begin() {
    if (!tokenizer.Ready()) {
        return false;
    }
    model.BeginLoad();
    elements = 0;
    arrays = BlockMemory::Placement::Heap;
    return true;
}

bool DocumentLoader::Finish(Tokenizer::Result result) {
    switch (result) {
    case Tokenizer::Result::Parsed:
        return true;
    case Tokenizer::Result::Failed:
        model.Errors().AppendError(
            Text::Format("XML Parse failed: %s", tokenizer.FailureMessage().c_str()));
        return false;
    case Tokenizer::Result::ReadFailed:
        model.Errors().AppendError("XML Parse failed: there was an error streaming in data");
        return false;
    }
    return false;
}

void DocumentLoader::Comment(const char* text) {
    FlushPendingText();
    Innermost()->AddComment(model.InternValue(text, LengthOf(text)));
}

void DocumentLoader::StartDocumentType(const char* name, const char* systemId,
                                       const char* publicId) {
    DocumentType type;
    type.name = Text(name);
    type.systemId = Text(systemId);
    type.publicId = Text(publicId);
    model.SetDocumentType(type);
}

void DocumentLoader::StartElement(const char* name, const char** attributes) {
    FlushPendingText();
    XMLNode* element = Innermost()->CreateChild(Name(name));
    model.OpenElements().Append(element);
    // A large document keeps its arrays in regions, as its node records are.
    arrays = BlockMemory::PlacementAfter(++elements * sizeof(XMLNode));
    LONG count = 0;
    while (attributes[2 * static_cast<ptrdiff_t>(count)] != nullptr) {
        ++count;
    }
    element->ReserveAttributes(count, arrays);
    for (const char** pair = attributes; pair[0] != nullptr; pair += 2) {
        element->AddAttribute(Name(pair[0]), model.InternValue(pair[1], LengthOf(pair[1])));
    }
}

XMLNode* DocumentLoader::Innermost() {
    GrowableArray<XMLNode*>& open = model.OpenElements();
    return open[open.Count() - 1];
}

Text DocumentLoader::Name(const char* name) {
    // Length and both end letters tell apart names that share a prefix (item, items).
    const size_t length = std::strlen(name);
    const auto first = static_cast<unsigned char>(name[0]);
    const auto last = static_cast<unsigned char>(length == 0 ? 0 : name[length - 1]);
    Text& remembered =
        rememberedNames[(length * 37 + size_t{first} * 11 + last) % kRememberedNames];
    if (std::strcmp(remembered.c_str(), name) != 0) {
        remembered = model.InternName(name, static_cast<LONG>(length));
    }
    return remembered;
}

void DocumentLoader::EndElement(const char* name) {
    FlushPendingText();
    GrowableArray<XMLNode*>& open = model.OpenElements();
    if (open.IsEmpty()) {
        model.Errors().AppendError(
            (Text("XML Error.  ") + name + " endtag encountered out of place").c_str());
        return;
    }
    XMLNode* popped = open[open.Count() - 1];
    open.Resize(-1);
    if (arrays == BlockMemory::Placement::Region) {
        popped->CompactChildren(arrays);
    }
    // The tokenizer has already matched the names exactly; the plain comparison settles nearly
    // every end tag without folding letters.
    if (popped->Name().Compare(name) != 0 && popped->Name().CompareNoCase(name) != 0) {
        model.Errors().AppendError((Text("XML Error.  ") + name + " endtag encountered. " +
                                    popped->Name().c_str() + " expected")
                                       .c_str());
    }
}

void DocumentLoader::Characters(const char* bytes, int length) {
    TextBuffer& pending = model.PendingText();
    if (pending.Length() == 0 && length > 0 && IsWhiteSpace(bytes[0]) &&
        IsAllWhiteSpace(bytes + 1, length - 1)) {
        return;
    }
    pending.Append(bytes, length);
}

void DocumentLoader::FlushPendingText() {
    TextBuffer& pending = model.PendingText();
    if (pending.Length() == 0) {
        return;
    }
    Innermost()->SetText(model.InternValue(pending.c_str(), pending.Length()));
    pending.Clear(true);
}

} // namespace Ostrel
