// A minimal host of the Pravell objects: creates "Corvantis.XMLModel" by its programmatic
// identifier and calls it only by name, the way a script host does, through the host library:
// LateBound looks each member up with IDispatch::GetIDsOfNames and calls it with Invoke. It loads
// the XML text given as its argument, prints the name and text of the document element's first
// child, and on a failure prints the description the object raised.
//
//   host '<note><to>Tove</to></note>'    prints  to: Tove
//   host '<note><to>Tove</note>'         prints  error: XML Parse failed: mismatched tag ...
#include "host/Arguments.h"
#include "host/Component.h"
#include "host/LateBound.h"

#include <cstdio>
#include <string>

using namespace Ostrel;

namespace {

// Prints why the last call of `object` failed: the description the object raised, else the
// status it answered. Answers false.
bool Failed(const LateBound& object, const char* member) {
    if (!object.Failure().empty()) {
        std::printf("error: %s\n", object.Failure().c_str());
    } else {
        std::printf("error: %s failed with 0x%08X\n", member,
                    static_cast<unsigned>(object.Status()));
    }
    return false;
}

// Walks root -> document element -> its first child, and prints that child's name and text.
bool PrintFirstChild(LateBound& model) {
    LateBound root;
    LateBound element;
    LateBound child;
    std::string name;
    std::string text;
    if (!model.CallForObject("GetRoot", {}, root)) {
        return Failed(model, "GetRoot");
    }
    if (!root.CallForObject("GetChild", {IntegerArgument(0)}, element)) {
        return Failed(root, "GetChild");
    }
    if (!element.CallForObject("GetChild", {IntegerArgument(0)}, child)) {
        return Failed(element, "GetChild");
    }
    if (!child.CallForText("GetName", {}, name)) {
        return Failed(child, "GetName");
    }
    if (!child.CallForText("GetText", {}, text)) {
        return Failed(child, "GetText");
    }
    std::printf("%s: %s\n", name.c_str(), text.c_str());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: host XML\n");
        return 2;
    }
    // CLSIDFromProgID, then CoCreateInstance: the registry names the library to load.
    LateBound model;
    const HRESULT status = CreateComponent("Corvantis.XMLModel", model);
    if (FAILED(status)) {
        std::printf("error: Corvantis.XMLModel cannot be created (0x%08X): is it registered?\n",
                    static_cast<unsigned>(status));
        return 1;
    }
    if (!model.Do("LoadFromString", {TextArgument(argv[1])})) {
        Failed(model, "LoadFromString");
        return 1;
    }
    return PrintFirstChild(model) ? 0 : 1;
}
