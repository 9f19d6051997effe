// The codec and format registry, against the installed library and against the
// test plug-ins built beside the tests.
#include "archive/codecs.h"

#include "archive/prop_variant.h"
#include "archive/string_convert.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

using test_support::temp_folder;

namespace {

const std::string plugin_dir = VORSEL_TEST_PLUGIN_DIR "/";
const std::string system_library_folder = "/usr/lib/p7zip/";

std::string plugin(const std::string& variant)
{
    return plugin_dir + "test_plugin_" + variant + ".so";
}

std::string text(const UString& value)
{
    const AString bytes = UnicodeStringToMultiByte(value);
    return std::string(bytes, static_cast<std::size_t>(bytes.Length()));
}

// "ext:addext ext2:addext2" of a format.
std::string extensions_of(const CArcInfoEx& format)
{
    std::string result;
    for (int i = 0; i < format.Exts.Size(); ++i) {
        if (i > 0)
            result += ' ';
        result += text(format.Exts[i].Ext);
        result += ':';
        result += text(format.Exts[i].AddExt);
    }
    return result;
}

std::vector<std::string> names_of(const CCodecs& codecs)
{
    std::vector<std::string> names;
    for (int i = 0; i < codecs.FormatList.Size(); ++i)
        names.push_back(text(codecs.FormatList[i].Name));
    return names;
}

// A base folder holding `library` as its 7z.so.
struct base_with_library {
    temp_folder folder;
    explicit base_with_library(const std::string& library) { test_support::copy_file(library, folder.path() + "7z.so"); }
};

}  // namespace

TEST(CodecsRealLibrary, LoadsItsFormatsAndMethods)
{
    CCodecs codecs;
    ASSERT_EQ(codecs.LoadFromFolder(AString(system_library_folder.c_str())), S_OK);
    EXPECT_EQ(codecs.LibList.Size(), 1);
    EXPECT_GE(codecs.FormatList.Size(), 50);
    EXPECT_GE(codecs.MethodList.Size(), 20);

    const std::map<std::string, std::string> expected_extensions = {
        {"7z", "7z:"}, {"zip", "zip:"}, {"tar", "tar:"}, {"Iso", "iso:"}, {"Udf", "udf:"}};
    for (const auto& [name, first_extension] : expected_extensions) {
        const UString wide = MultiByteToUnicodeString(AString(name.c_str()));
        const int index = FindFormatByName(codecs.FormatList, wide);
        ASSERT_GE(index, 0) << name;
        EXPECT_EQ(text(codecs.FormatList[index].Name), name);
        EXPECT_EQ(extensions_of(codecs.FormatList[index]).substr(0, first_extension.size()), first_extension) << name;
    }
    const CArcInfoEx& seven_zip = codecs.FormatList[FindFormatByName(codecs.FormatList, L"7Z")];
    const unsigned char signature[] = {0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C};
    ASSERT_EQ(seven_zip.Signatures.Size(), 1);
    ASSERT_EQ(seven_zip.Signatures[0].GetCapacity(), sizeof signature);
    EXPECT_EQ(std::memcmp(seven_zip.Signatures[0].Items(), signature, sizeof signature), 0);
    EXPECT_EQ(seven_zip.SignatureOffset, 0u);
    EXPECT_TRUE(seven_zip.UpdateEnabled);
    // Zip gives several signatures, a local header's first; tar's stands at 257.
    const CArcInfoEx& zip = codecs.FormatList[FindFormatByName(codecs.FormatList, L"zip")];
    ASSERT_GE(zip.Signatures.Size(), 2);
    ASSERT_EQ(zip.Signatures[0].GetCapacity(), 4u);
    EXPECT_EQ(std::memcmp(zip.Signatures[0].Items(), "PK\x03\x04", 4), 0);
    const CArcInfoEx& tar = codecs.FormatList[FindFormatByName(codecs.FormatList, L"tar")];
    ASSERT_EQ(tar.Signatures.Size(), 1);
    EXPECT_EQ(tar.SignatureOffset, 257u);

    for (int i = 0; i < codecs.MethodList.Size(); ++i)
        EXPECT_TRUE(codecs.MethodList[i].DecoderIsAssigned) << "method " << i;
}

TEST(CodecsRealLibrary, MakesAHandlerFromAFormatsClassId)
{
    CCodecs codecs;
    ASSERT_EQ(codecs.LoadFromFolder(AString(system_library_folder.c_str())), S_OK);
    const CArcInfoEx& format = codecs.FormatList[FindFormatByName(codecs.FormatList, L"zip")];
    IInArchive* handler = nullptr;
    ASSERT_EQ(codecs.LibList[format.LibIndex].CreateObject(&format.ClassID, &IID_IInArchive,
                                                           reinterpret_cast<void**>(&handler)),
              S_OK);
    ASSERT_NE(handler, nullptr);
    UInt32 items = 99;
    EXPECT_EQ(handler->GetNumberOfItems(&items), S_OK);  // nothing opened yet
    EXPECT_EQ(items, 0u);
    handler->Release();
}

TEST(CodecsRealLibrary, AnswersAsCompressCodecsInfo)
{
    CCodecs codecs;
    ASSERT_EQ(codecs.LoadFromFolder(AString(system_library_folder.c_str())), S_OK);
    ICompressCodecsInfo* info = &codecs;
    UInt32 count = 0;
    EXPECT_EQ(info->GetNumMethods(&count), S_OK);
    EXPECT_EQ(count, static_cast<UInt32>(codecs.MethodList.Size()));
    CPropVariant name;
    EXPECT_EQ(info->GetProperty(0, 1, &name), S_OK);  // passed on to the library
    EXPECT_EQ(name.vt, VT_BSTR);

    void* object = nullptr;
    EXPECT_EQ(info->QueryInterface(IID_ICryptoGetTextPassword, &object), E_NOINTERFACE);
    EXPECT_EQ(info->QueryInterface(IID_IUnknown, &object), S_OK);
    EXPECT_EQ(object, static_cast<IUnknown*>(&codecs));
    info->Release();
}

TEST(CodecsPlugins, ReadsFormatsAndMethodsByTheRules)
{
    base_with_library base(plugin("formats"));
    CCodecs codecs;
    ASSERT_EQ(codecs.LoadFromFolder(AString(base.folder.path().c_str())), S_OK);
    // "noclass" has no class id and is left out.
    EXPECT_EQ(names_of(codecs), (std::vector<std::string>{"first", "tar", "iso", "udf", "accepting"}));
    EXPECT_EQ(codecs.FormatList[1].FormatIndex, 2u);
    EXPECT_EQ(extensions_of(codecs.FormatList[1]), "tar: tgz:.tar");
    EXPECT_EQ(extensions_of(codecs.FormatList[2]), "iso: img:");
    EXPECT_TRUE(codecs.FormatList[0].KeepName);
    EXPECT_FALSE(codecs.FormatList[1].KeepName);
    ASSERT_EQ(codecs.FormatList[0].Signatures.Size(), 1);
    EXPECT_EQ(codecs.FormatList[0].Signatures[0].GetCapacity(), 4u);
    EXPECT_EQ(codecs.FormatList[2].Signatures.Size(), 0);
    EXPECT_EQ(FindFormatByName(codecs.FormatList, L"UDF"), 3);
    EXPECT_EQ(FindFormatByName(codecs.FormatList, L"noclass"), -1);

    ASSERT_EQ(codecs.MethodList.Size(), 2);
    EXPECT_TRUE(codecs.MethodList[0].EncoderIsAssigned);
    EXPECT_FALSE(codecs.MethodList[1].EncoderIsAssigned);
    EXPECT_EQ(codecs.MethodList[1].CodecIndex, 1u);
}

TEST(CodecsPlugins, CompressCodecsInfoReachesTheOwningLibrary)
{
    base_with_library base(plugin("formats"));
    CCodecs codecs;
    ASSERT_EQ(codecs.LoadFromFolder(AString(base.folder.path().c_str())), S_OK);
    ICompressCodecsInfo* info = &codecs;

    CPropVariant flag;
    EXPECT_EQ(info->GetProperty(1, 7, &flag), S_OK);
    EXPECT_EQ(flag.vt, VT_BOOL);
    EXPECT_EQ(flag.boolVal, VARIANT_TRUE);
    EXPECT_EQ(info->GetProperty(1, 8, &flag), S_OK);
    EXPECT_EQ(flag.boolVal, VARIANT_FALSE);
    CPropVariant name;
    EXPECT_EQ(info->GetProperty(1, 1, &name), S_OK);
    EXPECT_EQ(text(ConvertPropVariantToString(name)), "method1");

    void* coder = nullptr;
    EXPECT_EQ(info->CreateDecoder(1, &IID_IUnknown, &coder), S_OK);
    EXPECT_NE(coder, nullptr);
    void* none = nullptr;
    EXPECT_EQ(info->CreateEncoder(1, &IID_IUnknown, &none), S_OK);  // method 1 has no encoder
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(info->CreateEncoder(0, &IID_IUnknown, &none), S_OK);
    EXPECT_EQ(none, coder);
}

TEST(CodecsPlugins, LibrariesThatOfferLessAreHandledByTheRules)
{
    const struct {
        std::string variant;
        HRESULT result;
        std::vector<std::string> formats;
        int libraries;
    } table[] = {
        {"no_create_object", S_OK, {}, 0},        // skipped, unloaded
        {"single_property", S_OK, {"first"}, 1},  // one format whatever the count says
        {"failing_count", E_FAIL, {}, 0},         // the count's failure fails the load
    };
    for (const auto& row : table) {
        base_with_library base(plugin(row.variant));
        CCodecs codecs;
        EXPECT_EQ(codecs.LoadFromFolder(AString(base.folder.path().c_str())), row.result) << row.variant;
        EXPECT_EQ(names_of(codecs), row.formats) << row.variant;
        EXPECT_EQ(codecs.LibList.Size(), row.libraries) << row.variant;
    }
}

TEST(CodecsPlugins, LoadsEveryLibraryOfCodecsAndFormatsAndSkipsOtherFiles)
{
    temp_folder base;
    base.write_file("Formats/a-not-a-library.so", "just text");
    base.write_file("Formats/b-broken.so", std::string("\x7F" "ELF but nothing more"));
    std::filesystem::create_directories(base.path() + "Formats/c-folder.so");
    test_support::copy_file(plugin("formats"), base.path() + "Formats/d-plugin.so");
    test_support::copy_file(plugin("single_property"), base.path() + "Codecs/plugin.so");
    CCodecs codecs;
    ASSERT_EQ(codecs.LoadFromFolder(AString(base.path().c_str())), S_OK);
    EXPECT_EQ(codecs.LibList.Size(), 2);
    // Codecs/ before Formats/.
    EXPECT_EQ(names_of(codecs), (std::vector<std::string>{"first", "first", "tar", "iso", "udf", "accepting"}));
    EXPECT_EQ(codecs.FormatList[0].LibIndex, 0);
    EXPECT_EQ(codecs.FormatList[1].LibIndex, 1);
    EXPECT_EQ(codecs.MethodList[0].LibIndex, 1);
}

TEST(CodecsPlugins, AFailingLibraryStopsTheLoad)
{
    temp_folder base;
    test_support::copy_file(plugin("failing_count"), base.path() + "Codecs/plugin.so");
    test_support::copy_file(plugin("formats"), base.path() + "7z.so");
    CCodecs codecs;
    EXPECT_EQ(codecs.LoadFromFolder(AString(base.path().c_str())), E_FAIL);
    EXPECT_EQ(codecs.LibList.Size(), 1);  // 7z.so came first and stays
}
