// Type libraries: loading, registering and finding them through the registry.
#pragma once

#include "platform/interfaces.h"
