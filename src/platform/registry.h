// The registry: keys and default values under HKEY_CLASSES_ROOT, kept in one text file.
#pragma once

#include "platform/interfaces.h"
