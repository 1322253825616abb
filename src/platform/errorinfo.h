// Error information: one error object per thread, handed from callee to caller.
#pragma once

#include "platform/interfaces.h"
