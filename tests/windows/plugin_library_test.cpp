// The Windows plug-in library beside the test program: system strings and
// property values cross between it and the program through OLEAUT32, with
// Windows' own layout of PROPVARIANT, and its exports and interfaces are called
// with Windows' calling convention.
#include "archive/codecs.h"
#include "archive/prop_variant.h"
#include "archive/string_convert.h"
#include "platform/module_path.h"
#include "platform/ole_automation.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace {

std::string text_of(const UString& text)
{
    const AString bytes = UnicodeStringToMultiByte(text);
    return std::string(bytes, static_cast<std::size_t>(bytes.Length()));
}

}  // namespace

TEST(OleAutomation, SystemStringsAreOleaut32s)
{
    BSTR text = SysAllocString(L"a\U0001F600");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(SysStringByteLen(text), 3 * sizeof(wchar_t));  // UTF-16 units
    EXPECT_EQ(SysStringLen(text), 3u);
    PROPVARIANT value{};
    value.vt = VT_BSTR;
    value.bstrVal = text;
    EXPECT_EQ(text_of(ConvertPropVariantToString(value)), "a\xF0\x9F\x98\x80");
    EXPECT_EQ(VariantClear(&value), S_OK);  // frees it with SysFreeString
    EXPECT_EQ(value.vt, VT_EMPTY);
    EXPECT_EQ(value.bstrVal, nullptr);

    // A type that a VARIANT cannot hold still clears.
    value.vt = VT_FILETIME;
    value.filetime.dwHighDateTime = 1;
    EXPECT_EQ(VariantClear(&value), S_OK);
    EXPECT_EQ(value.vt, VT_EMPTY);
    EXPECT_EQ(prop_uint64(value), 0u);
}

TEST(OleAutomation, PropertyValuesHaveWindowsLayout)
{
    EXPECT_EQ(sizeof(PROPVARIANT), sizeof(void*) == 8 ? 24u : 16u);
    PROPVARIANT value{};
    set_prop_uint64(value, 0x0123456789ABCDEFu);
    EXPECT_EQ(value.uhVal.LowPart, 0x89ABCDEFu);
    EXPECT_EQ(value.uhVal.HighPart, 0x01234567u);
    set_prop_int64(value, -2);
    EXPECT_EQ(prop_int64(value), -2);
}

TEST(PluginLibrary, LoadsFormatsAndMethodsWithTheirStrings)
{
    CCodecs codecs;
    ASSERT_EQ(codecs.LoadFromFolder(AString(platform::module_folder_prefix().c_str())), S_OK);
    ASSERT_EQ(codecs.LibList.Size(), 1) << "7z.dll belongs beside the test program";
    EXPECT_GE(codecs.FormatList.Size(), 50);
    EXPECT_GE(codecs.MethodList.Size(), 15);
    // Names and extensions came as the library's BSTRs and were freed by us.
    for (const char* name : {"7z", "zip", "tar", "gzip", "xz", "Rar"})
        EXPECT_GE(FindFormatByName(codecs.FormatList, MultiByteToUnicodeString(name)), 0) << name;
    const int seven_zip = FindFormatByName(codecs.FormatList, L"7z");
    ASSERT_GE(seven_zip, 0);
    ASSERT_EQ(codecs.FormatList[seven_zip].Signatures.Size(), 1);
    const CByteBuffer& signature = codecs.FormatList[seven_zip].Signatures[0];
    ASSERT_EQ(signature.GetCapacity(), 6u);  // a BSTR whose byte length is the signature's
    EXPECT_EQ(signature[0], '7');
    EXPECT_EQ(signature[1], 'z');

    // A property read back through our own interface, as an archive handler would.
    UInt32 methods = 0;
    ASSERT_EQ(codecs.GetNumMethods(&methods), S_OK);
    ASSERT_GT(methods, 0u);
    CPropVariant name;
    ASSERT_EQ(codecs.GetProperty(0, 1, &name), S_OK);  // kName
    ASSERT_EQ(name.vt, VT_BSTR);
    EXPECT_GT(SysStringLen(name.bstrVal), 0u);
}
