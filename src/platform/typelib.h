// Type libraries: loading them from the layer's type library files, registering them, and
// finding them through the registry.
#pragma once

#include "platform/typeinfo.h"

// REGKIND_DEFAULT registers a library only when its path is not a full one, which on Windows
// means a path relative to the system's search; paths here are used as given, so it loads only.
enum REGKIND { REGKIND_DEFAULT = 0, REGKIND_REGISTER, REGKIND_NONE };

extern "C" {
// TYPE_E_CANTLOADLIBRARY for a file that cannot be read, TYPE_E_UNSUPFORMAT for one that is not
// a type library of this format and version, TYPE_E_INVDATAREAD for one that is damaged.
HRESULT LoadTypeLib(LPCOLESTR path, ITypeLib** library);
// The same, and with REGKIND_REGISTER the library is registered from that path (RegisterTypeLib);
// a registration that fails releases the library and answers the registration's failure.
HRESULT LoadTypeLibEx(LPCOLESTR path, REGKIND kind, ITypeLib** library);

// Registers the library under TypeLib\{libid}\<major>.<minor> (hexadecimal) with its path for
// its locale and system kind, and every dual or automation interface under Interface\{iid}.
HRESULT RegisterTypeLib(ITypeLib* library, LPCOLESTR fullPath, LPCOLESTR helpDir);
// TYPE_E_REGISTRYACCESS when that version is not registered.
HRESULT UnRegisterTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid, SYSKIND syskind);
// Loads the registered file of that major version with the requested or a higher minor, for
// the locale, its primary language or the neutral locale; TYPE_E_LIBNOTREGISTERED if none.
HRESULT LoadRegTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid, ITypeLib** library);
}
