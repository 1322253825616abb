// Module information over the dynamic loader.
#pragma once

#include "platform/interfaces.h"
