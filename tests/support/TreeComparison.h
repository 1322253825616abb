// Whether a tree read back from its own saved text is the tree that was saved.
//
// An element with both text and children or comments is saved with its text after the start
// tag, followed by a line break and the next line's indentation, and a reload keeps that white
// space as part of the text; comments outside the top elements are not saved. So names,
// attributes (in order), comments, the number of children and the document type must be equal,
// a leaf's text must be equal, and the reloaded text of any other element must begin with the
// saved one.
#pragma once

#include "model/XMLModel.h"

#include <string>

namespace Ostrel {

// Empty when `reloaded` is `saved` read back; otherwise where and how they first differ, as
// "/root[0]/child[2]/: \"a\" became \"b\"".
std::string TreeDifference(const XMLModel& saved, const XMLModel& reloaded);

} // namespace Ostrel
