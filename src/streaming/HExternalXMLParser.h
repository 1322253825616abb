// The parser class that the class factory creates. It counts itself as live (through
// HDispatchXMLParser) from construction to its last Release, so the factory only allocates it
// and hands out the first reference.
#pragma once

#include "streaming/HDispatchXMLParser.h"

namespace Ostrel {

class HExternalXMLParser final : public HDispatchXMLParser {
public:
    HExternalXMLParser() = default;

private:
    ~HExternalXMLParser() override = default;
};

} // namespace Ostrel
