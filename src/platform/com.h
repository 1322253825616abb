// The one header that portable code includes for the platform's component object model,
// OLE Automation, code pages, registry and module information.
#pragma once

#ifdef _WIN32
// windows.h must come first.
// clang-format off
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <olectl.h>
#include <dispex.h>
// clang-format on

// Separates the directories of a module's file name.
constexpr char PATH_SEPARATOR_CHAR = '\\';

// The system delivers the calls to objects of a class without a threading model one at a time:
// holding the door (platform/door.h on Linux) takes nothing here.
class InsideDoor {
public:
    InsideDoor() {}
    InsideDoor(const InsideDoor&) = delete;
    InsideDoor& operator=(const InsideDoor&) = delete;
};
#else
#include "platform/activation.h"
#include "platform/bstr.h"
#include "platform/codepage.h"
#include "platform/dispatch.h"
#include "platform/dispex.h"
#include "platform/door.h"
#include "platform/errorinfo.h"
#include "platform/guid.h"
#include "platform/interfaces.h"
#include "platform/memory.h"
#include "platform/module.h"
#include "platform/registry.h"
#include "platform/safearray.h"
#include "platform/typeinfo.h"
#include "platform/typelib.h"
#include "platform/types.h"
#include "platform/variant.h"
#endif
