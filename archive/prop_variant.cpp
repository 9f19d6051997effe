// Property values.
#include "archive/prop_variant.h"

#include <cwchar>

#include "archive/string_convert.h"

#include "platform/file_time.h"
#include "platform/ole_automation.h"

CPropVariant::CPropVariant() : PROPVARIANT{}
{
    vt = VT_EMPTY;
}

HRESULT CPropVariant::Clear()
{
    switch (vt) {
    case 2: case 3: case 4: case 5: case 6: case 7:
    case 10: case 11:
    case 16: case 17: case 18: case 19:
    case 21: case 22: case 23:
    case 64:
        vt = VT_EMPTY;
        wReserved1 = wReserved2 = wReserved3 = 0;
        return S_OK;
    default:
        return VariantClear(this);
    }
}

void SetBoolValue(PROPVARIANT& value, bool flag)
{
    value.vt = VT_BOOL;
    value.wReserved1 = value.wReserved2 = value.wReserved3 = 0;
    value.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
}

namespace {

void AppendUnsigned(UString& text, std::uint64_t value)
{
    wchar_t digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0)
        text += digits[--count];
}

void AppendSigned(UString& text, std::int64_t value)
{
    if (value < 0) {
        text += L'-';
        AppendUnsigned(text, 0 - static_cast<std::uint64_t>(value));
    } else {
        AppendUnsigned(text, static_cast<std::uint64_t>(value));
    }
}

// `value` as `width` digits with leading zeros.
void AppendPadded(UString& text, int value, int width)
{
    wchar_t digits[8];
    for (int i = width - 1; i >= 0; --i, value /= 10)
        digits[i] = static_cast<wchar_t>(L'0' + value % 10);
    for (int i = 0; i < width; ++i)
        text += digits[i];
}

UString FileTimeText(const FILETIME& time)
{
    UString text;
    platform::system_time fields;
    if (!platform::file_time_to_system_time(time, fields))
        return text;
    AppendPadded(text, fields.year, 4);
    text += L'-';
    AppendPadded(text, fields.month, 2);
    text += L'-';
    AppendPadded(text, fields.day, 2);
    text += L' ';
    AppendPadded(text, fields.hour, 2);
    text += L':';
    AppendPadded(text, fields.minute, 2);
    text += L':';
    AppendPadded(text, fields.second, 2);
    return text;
}

}  // namespace

UString ConvertPropVariantToString(const PROPVARIANT& value)
{
    UString text;
    switch (value.vt) {
    case VT_EMPTY:
        break;
    case VT_BSTR:
        if (value.bstrVal)
            text = value.bstrVal;
        break;
    case VT_UI1:
        AppendUnsigned(text, value.bVal);
        break;
    case VT_UI2:
        AppendUnsigned(text, value.uiVal);
        break;
    case VT_UI4:
        AppendUnsigned(text, value.ulVal);
        break;
    case VT_UI8:
        AppendUnsigned(text, prop_uint64(value));
        break;
    case VT_I2:
        AppendSigned(text, value.iVal);
        break;
    case VT_I4:
        AppendSigned(text, value.lVal);
        break;
    case VT_I8:
        AppendSigned(text, prop_int64(value));
        break;
    case VT_BOOL:
        text += value.boolVal != 0 ? L'+' : L'-';
        break;
    case VT_FILETIME:
        text = FileTimeText(value.filetime);
        break;
    default:
        throw 150245;
    }
    return text;
}

std::string ReadItemText(IInArchive* archive, UInt32 index, PROPID property)
{
    CPropVariant value;
    if (archive->GetProperty(index, property, &value) != S_OK || value.vt != VT_BSTR || !value.bstrVal)
        return {};
    AString bytes;
    UnicodeToMultiByte(value.bstrVal, static_cast<int>(std::wcslen(value.bstrVal)), bytes);
    return std::string(bytes, static_cast<std::size_t>(bytes.Length()));
}
