// Activation: class identifiers from programmatic identifiers, in-process servers loaded through the registry.
#pragma once

#include "platform/interfaces.h"
