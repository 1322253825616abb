// Late binding driven by type information: names to dispatch identifiers, and calls.
#pragma once

#include "platform/interfaces.h"
