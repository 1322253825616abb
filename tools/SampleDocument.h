// The document that `pravell demo` works on: small, but with what real documents bring along
// (a document type declaration, nested elements, many attributes, content that needs CDATA,
// an attribute value holding a double quote, comments).
#pragma once

namespace Ostrel {

extern const char kSampleDocument[];

} // namespace Ostrel
