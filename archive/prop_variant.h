// Property values: the owning wrapper, setting a boolean, and the text of a value.
#pragma once

#include <string>

#include "archive/plugin_interface.h"
#include "archive/support_string.h"
#include "platform/com_types.h"

// A property value that frees what it owns when cleared or destroyed.
class CPropVariant : public PROPVARIANT {
public:
    CPropVariant();
    CPropVariant(const CPropVariant&) = delete;
    CPropVariant& operator=(const CPropVariant&) = delete;
    ~CPropVariant() { Clear(); }

    // Plain value types are simply marked empty; others go to VariantClear.
    HRESULT Clear();
};

// Stores VT_BOOL with -1 for true and 0 for false into an out value.
void SetBoolValue(PROPVARIANT& value, bool flag);

// The value as text: empty for VT_EMPTY, the string of VT_BSTR, decimal numbers,
// "+" or "-" for VT_BOOL, "YYYY-MM-DD hh:mm:ss" (UTC) for VT_FILETIME. Any other
// type raises the integer 150245.
UString ConvertPropVariantToString(const PROPVARIANT& value);

// The text of an item's string property, converted as item paths are; empty
// when the item has none.
std::string ReadItemText(IInArchive* archive, UInt32 index, PROPID property);
