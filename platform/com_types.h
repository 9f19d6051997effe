// The COM-style value types that cross the plug-in library's interface: results,
// GUIDs, system strings, property values and the IUnknown that every interface
// begins with. Windows has them in its own headers; elsewhere the program brings
// stand-ins with the installed library's layout. Either way, the 64-bit members
// of a property value are read and written through the functions below.
#pragma once

#ifdef _WIN32
#include "platform/win32/com_types.h"
#else
#include "platform/posix/com_types.h"
#endif
