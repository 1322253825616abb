// Activation: class identifiers from programmatic identifiers, and in-process servers
// loaded through the registry.
#pragma once

#include "platform/interfaces.h"
