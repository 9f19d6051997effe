// System strings cross between the program and the plug-in library in both
// directions, so their layout must be the library's own.
#include "platform/ole_automation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>

namespace {

// The library's own exports of the same functions.
struct library_strings {
    void* handle = dlopen("/usr/lib/p7zip/7z.so", RTLD_NOW | RTLD_LOCAL);
    using alloc_fn = BSTR (*)(const wchar_t*);
    using free_fn = void (*)(BSTR);
    using length_fn = std::uint32_t (*)(BSTR);
    alloc_fn alloc = handle ? reinterpret_cast<alloc_fn>(dlsym(handle, "SysAllocString")) : nullptr;
    free_fn release = handle ? reinterpret_cast<free_fn>(dlsym(handle, "SysFreeString")) : nullptr;
    length_fn byte_length = handle ? reinterpret_cast<length_fn>(dlsym(handle, "SysStringByteLen")) : nullptr;
    ~library_strings()
    {
        if (handle)
            dlclose(handle);
    }
};

}  // namespace

TEST(SystemStrings, LayoutIsLengthThenCharactersThenNul)
{
    BSTR text = SysAllocString(L"abc");
    ASSERT_NE(text, nullptr);
    std::uint32_t stored;
    std::memcpy(&stored, reinterpret_cast<char*>(text) - 4, 4);
    EXPECT_EQ(stored, 3 * sizeof(wchar_t));
    EXPECT_EQ(SysStringByteLen(text), 12u);
    EXPECT_EQ(text[3], L'\0');
    SysFreeString(text);

    BSTR bytes = SysAllocStringByteLen("\x01\x02\x03", 3);
    EXPECT_EQ(SysStringByteLen(bytes), 3u);
    EXPECT_EQ(std::memcmp(bytes, "\x01\x02\x03\0\0\0\0", 7), 0);
    SysFreeString(bytes);
    SysFreeString(nullptr);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
}

TEST(SystemStrings, EachSideFreesWhatTheOtherMade)
{
    library_strings library;
    ASSERT_NE(library.alloc, nullptr);
    ASSERT_NE(library.release, nullptr);
    ASSERT_NE(library.byte_length, nullptr);

    BSTR ours = SysAllocString(L"made by the program");
    EXPECT_EQ(library.byte_length(ours), SysStringByteLen(ours));
    library.release(ours);

    BSTR theirs = library.alloc(L"made by the library");
    EXPECT_EQ(SysStringByteLen(theirs), 19 * sizeof(wchar_t));
    EXPECT_EQ(std::wcscmp(theirs, L"made by the library"), 0);
    SysFreeString(theirs);
}

TEST(SystemStrings, VariantClearFreesTheStringAndEmptiesTheValue)
{
    PROPVARIANT value{};
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(L"x");
    EXPECT_EQ(VariantClear(&value), S_OK);
    EXPECT_EQ(value.vt, VT_EMPTY);
    EXPECT_EQ(value.uhVal, 0u);
}
