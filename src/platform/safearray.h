// Safe arrays: bounded, lockable arrays of automation values.
#pragma once

#include "platform/interfaces.h"
