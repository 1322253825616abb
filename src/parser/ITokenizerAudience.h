// What hears the tokenizer's events, in document order. Names, texts and attribute pairs are the
// tokenizer's UTF-8 bytes, valid only during the call. An event may throw (running out of memory
// while building what it makes of the bytes); the tokenizer then stops and reports the failure.
#pragma once

namespace Ostrel {

class ITokenizerAudience {
public:
    // `attributes` holds name, value, name, value, ... and ends with a null name.
    virtual void StartElement(const char* name, const char** attributes) = 0;
    virtual void EndElement(const char* name) = 0;
    // One piece of character data as the tokenizer cut it; not terminated.
    virtual void Characters(const char* bytes, int length) = 0;
    virtual void Comment(const char* text) = 0;
    // At the start of a document type declaration; the identifiers are null when absent.
    virtual void StartDocumentType(const char* name, const char* systemId,
                                   const char* publicId) = 0;

protected:
    // Audiences are owned through their own class, never deleted through the interface.
    ~ITokenizerAudience() = default;
};

} // namespace Ostrel
