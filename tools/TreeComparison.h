// Compares a document that was saved with the same document loaded back, and counts what the
// saved one holds.
//
// Names, attributes (in order), comments, children and the texts of elements without children
// and comments must be equal byte for byte, and so must the document type. The text of an
// element that has children or comments is saved on its start tag's line, and loading keeps the
// line break and indentation that follow it: there the reloaded text must begin with the saved
// one. The root itself is never saved, so only its children are compared.
#pragma once

#include "platform/com.h"
#include "text/Text.h"

namespace Ostrel {

class XMLModel;
class XMLNode;

class TreeComparison {
public:
    TreeComparison(const XMLModel& saved, const XMLModel& reloaded);

    bool Same() const { return difference.IsEmpty(); }
    // The first difference, as the path of the element and what differs
    // ("/catalog/product[2]: text"); empty when the trees are the same.
    const Text& Difference() const { return difference; }

    // Counts of the saved tree, root excluded.
    LONG Elements() const { return elements; }
    LONG Attributes() const { return attributes; }
    LONG Comments() const { return comments; }

private:
    // What differs between the two elements themselves, or null.
    static const char* CompareElements(const XMLNode& saved, const XMLNode& reloaded);
    void Count(const XMLNode& node);

    Text difference;
    LONG elements = 0;
    LONG attributes = 0;
    LONG comments = 0;
};

} // namespace Ostrel
