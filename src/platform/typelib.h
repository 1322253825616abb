// Type libraries: loading them from the layer's type library files, registering them, and
// finding them through the registry.
#pragma once

#include "platform/typeinfo.h"

// REGKIND_DEFAULT, the kind LoadTypeLib loads with, registers a library only when its path is
// not a full one, and then under the full path it was found at.
enum REGKIND { REGKIND_DEFAULT = 0, REGKIND_REGISTER, REGKIND_NONE };

extern "C" {
// TYPE_E_CANTLOADLIBRARY for a file that cannot be read, TYPE_E_UNSUPFORMAT for one that is not
// a type library of this format and version, TYPE_E_INVDATAREAD for one that is damaged.
HRESULT LoadTypeLib(LPCOLESTR path, ITypeLib** library);
// The same, registering the library as its kind asks (RegisterTypeLib); a registration that
// fails releases the library and answers the registration's failure.
HRESULT LoadTypeLibEx(LPCOLESTR path, REGKIND kind, ITypeLib** library);

// Registers the library under TypeLib\{libid}\<major>.<minor> (hexadecimal) with its path for
// its locale and system kind, and every dual or automation interface under Interface\{iid}.
HRESULT RegisterTypeLib(ITypeLib* library, LPCOLESTR fullPath, LPCOLESTR helpDir);
// E_INVALIDARG when that version is not registered for the locale and system kind, and
// TYPE_E_INVALIDSTATE when its registered file cannot be read.
HRESULT UnRegisterTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid, SYSKIND syskind);
// Loads the registered file of that major version with the requested or a higher minor, for
// the locale, its primary language or the neutral locale; TYPE_E_LIBNOTREGISTERED if none, or if
// the file found is not itself of such a version.
HRESULT LoadRegTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid, ITypeLib** library);
}
