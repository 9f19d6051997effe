// Property values: their text and their clearing.
#include "archive/prop_variant.h"
#include "archive/string_convert.h"
#include "platform/ole_automation.h"

#include <gtest/gtest.h>

namespace {

std::string text_of(const PROPVARIANT& value)
{
    const AString bytes = UnicodeStringToMultiByte(ConvertPropVariantToString(value));
    return std::string(bytes, static_cast<std::size_t>(bytes.Length()));
}

PROPVARIANT make(VARTYPE type)
{
    PROPVARIANT value{};
    value.vt = type;
    return value;
}

}  // namespace

TEST(PropVariant, ConvertsEveryListedTypeToText)
{
    struct row {
        PROPVARIANT value;
        std::string text;
    };
    std::vector<row> table;
    table.push_back({make(VT_EMPTY), ""});
    PROPVARIANT v = make(VT_BOOL);
    v.boolVal = 1;  // not VARIANT_TRUE: any non-zero value is true
    table.push_back({v, "+"});
    v.boolVal = 0;
    table.push_back({v, "-"});
    v = make(VT_UI1), v.bVal = 255, table.push_back({v, "255"});
    v = make(VT_UI2), v.uiVal = 65535, table.push_back({v, "65535"});
    v = make(VT_UI4), v.ulVal = 4294967295u, table.push_back({v, "4294967295"});
    v = make(VT_UI8), set_prop_uint64(v, 18446744073709551615u), table.push_back({v, "18446744073709551615"});
    v = make(VT_UI8), set_prop_uint64(v, 0), table.push_back({v, "0"});
    v = make(VT_I2), v.iVal = -32768, table.push_back({v, "-32768"});
    v = make(VT_I4), v.lVal = -7, table.push_back({v, "-7"});
    v = make(VT_I8), set_prop_int64(v, INT64_MIN), table.push_back({v, "-9223372036854775808"});
    // 2009-07-05 08:05:09 UTC: (1246781109 s since 1970 + 11644473600) * 10^7
    const std::uint64_t ticks = (1246781109ull + 11644473600ull) * 10000000ull + 1234567;
    v = make(VT_FILETIME);
    v.filetime.dwLowDateTime = static_cast<std::uint32_t>(ticks);
    v.filetime.dwHighDateTime = static_cast<std::uint32_t>(ticks >> 32);
    table.push_back({v, "2009-07-05 08:05:09"});
    v.filetime.dwLowDateTime = 0;
    v.filetime.dwHighDateTime = 0x80000000u;  // beyond what the system can express
    table.push_back({v, ""});
    for (const row& r : table)
        EXPECT_EQ(text_of(r.value), r.text) << "type " << r.value.vt;
}

TEST(PropVariant, TextOfAStringValue)
{
    CPropVariant value;
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(L"dir/\u00e9t\u00e9.txt");
    EXPECT_EQ(text_of(value), "dir/\xC3\xA9t\xC3\xA9.txt");
}

TEST(PropVariant, OtherTypesRaise150245)
{
    PROPVARIANT value = make(5);  // VT_R8
    try {
        ConvertPropVariantToString(value);
        FAIL() << "no raise";
    } catch (int code) {
        EXPECT_EQ(code, 150245);
    }
}

TEST(PropVariant, ClearFreesAStringAndEmptiesTheValue)
{
    CPropVariant value;
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(L"owned");
    EXPECT_EQ(value.Clear(), S_OK);
    EXPECT_EQ(value.vt, VT_EMPTY);
    SetBoolValue(value, true);
    EXPECT_EQ(value.vt, VT_BOOL);
    EXPECT_EQ(value.boolVal, VARIANT_TRUE);
    SetBoolValue(value, false);
    EXPECT_EQ(value.boolVal, VARIANT_FALSE);
}
