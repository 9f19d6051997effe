// Finding and loading the plug-in libraries and reading their methods and
// formats into the registry.
#include "archive/codecs.h"

#include "archive/prop_variant.h"
#include "platform/directory.h"
#include "platform/dynamic_library.h"
#include "platform/module_path.h"
#include "platform/ole_automation.h"
#include "platform/registry.h"

#include <cstring>
#include <string>

namespace {

constexpr char kFolderSeparator = '/';

bool IsDirectory(const AString& path)
{
    bool isDirectory = false;
    return platform::find_file(path, isDirectory) && isDirectory;
}

bool IsFile(const AString& path)
{
    bool isDirectory = false;
    return platform::find_file(path, isDirectory) && !isDirectory;
}

// Copies a class id out of a VT_BSTR value; false when the value holds none.
bool GetClassId(const PROPVARIANT& value, GUID& classId)
{
    if (value.vt != VT_BSTR || SysStringByteLen(value.bstrVal) < sizeof(GUID))
        return false;
    std::memcpy(&classId, value.bstrVal, sizeof(GUID));
    return true;
}

// Reads one property of a format, through GetHandlerProperty2 when the library
// has it, else through GetHandlerProperty.
struct CHandlerPropertyReader {
    Func_GetHandlerProperty2 GetProp2 = nullptr;
    Func_GetHandlerProperty GetProp = nullptr;

    HRESULT Read(UInt32 index, PROPID propID, PROPVARIANT* value) const
    {
        return GetProp2 ? GetProp2(index, propID, value) : GetProp(propID, value);
    }

    // VT_BSTR sets the text, VT_EMPTY leaves it empty, another type is E_FAIL.
    HRESULT ReadString(UInt32 index, PROPID propID, UString& text) const
    {
        CPropVariant value;
        const HRESULT result = Read(index, propID, &value);
        if (result != S_OK)
            return result;
        if (value.vt == VT_BSTR)
            text = value.bstrVal;
        else if (value.vt != VT_EMPTY)
            return E_FAIL;
        return S_OK;
    }

    // Sets the flag from a VT_BOOL value; any failure leaves it false.
    void ReadBool(UInt32 index, PROPID propID, bool& flag) const
    {
        CPropVariant value;
        if (Read(index, propID, &value) == S_OK && value.vt == VT_BOOL)
            flag = value.boolVal != VARIANT_FALSE;
    }
};

// Copies `length` bytes into a new signature of `format`.
void AddSignature(CArcInfoEx& format, const unsigned char* bytes, std::size_t length)
{
    CByteBuffer& signature = format.Signatures.AddNew();
    signature.SetCapacity(length);
    if (length > 0)
        std::memcpy(signature.Items(), bytes, length);
}

// The format's signatures: its one start signature, else the several of a
// multi-signature value (each a length byte and its bytes; a length that runs
// past the value ends the list), and their offset.
void ReadSignatures(const CHandlerPropertyReader& reader, UInt32 index, CArcInfoEx& format)
{
    CPropVariant single;
    if (reader.Read(index, handler_property::start_signature, &single) == S_OK && single.vt == VT_BSTR &&
        SysStringByteLen(single.bstrVal) > 0) {
        AddSignature(format, reinterpret_cast<const unsigned char*>(single.bstrVal), SysStringByteLen(single.bstrVal));
    } else {
        CPropVariant several;
        if (reader.Read(index, handler_property::multi_signature, &several) == S_OK && several.vt == VT_BSTR) {
            const auto* bytes = reinterpret_cast<const unsigned char*>(several.bstrVal);
            const std::size_t size = SysStringByteLen(several.bstrVal);
            for (std::size_t at = 0; at < size;) {
                const std::size_t length = bytes[at];
                if (length == 0 || at + 1 + length > size)
                    break;
                AddSignature(format, bytes + at + 1, length);
                at += 1 + length;
            }
        }
    }
    CPropVariant offset;
    if (reader.Read(index, handler_property::signature_offset, &offset) == S_OK && offset.vt == VT_UI4)
        format.SignatureOffset = offset.ulVal;
}

// Reads a method's encoder or decoder class id: VT_BSTR assigns it, VT_EMPTY
// leaves it unassigned, another type is E_FAIL.
HRESULT ReadMethodClassId(Func_GetMethodProperty getMethodProperty, UInt32 index, PROPID propID, GUID& classId,
                          bool& isAssigned)
{
    CPropVariant value;
    const HRESULT result = getMethodProperty(index, propID, &value);
    if (result != S_OK)
        return result;
    if (value.vt == VT_EMPTY)
        return S_OK;
    if (!GetClassId(value, classId))
        return E_FAIL;
    isAssigned = true;
    return S_OK;
}

// The pieces of `text` between spaces, empty pieces dropped.
void SplitAtSpaces(const UString& text, CObjectVector<UString>& pieces)
{
    UString piece;
    for (int i = 0; i <= text.Length(); ++i) {
        if (i == text.Length() || text[i] == L' ') {
            if (!piece.IsEmpty())
                pieces.Add(piece);
            piece.Empty();
        } else {
            piece += text[i];
        }
    }
}

// One CArcExtInfo per extension, paired with the additional extension at the
// same place ("*" standing for none).
void SetExtensions(CArcInfoEx& format, const UString& exts, const UString& addExts)
{
    CObjectVector<UString> extPieces;
    CObjectVector<UString> addExtPieces;
    SplitAtSpaces(exts, extPieces);
    SplitAtSpaces(addExts, addExtPieces);
    for (int i = 0; i < extPieces.Size(); ++i) {
        CArcExtInfo& info = format.Exts.AddNew();
        info.Ext = extPieces[i];
        if (i < addExtPieces.Size() && !(addExtPieces[i] == L"*"))
            info.AddExt = addExtPieces[i];
    }
}

}  // namespace

AString GetBaseFolderPrefix(const AString& modulePrefix)
{
    if (IsFile(modulePrefix + platform::main_plugin_library_name()) || IsDirectory(modulePrefix + "Codecs") ||
        IsDirectory(modulePrefix + "Formats"))
        return modulePrefix;
    std::string value;
    if (platform::read_7zip_path(platform::registry_hive::current_user, value) ||
        platform::read_7zip_path(platform::registry_hive::local_machine, value)) {
        AString path(value.c_str());
        if (!path.IsEmpty() && path.Back() != kFolderSeparator)
            path += kFolderSeparator;
        return path;
    }
    return modulePrefix;
}

HRESULT CCodecs::Load()
{
    return LoadFromFolder(GetBaseFolderPrefix(AString(platform::module_folder_prefix().c_str())));
}

HRESULT CCodecs::LoadFromFolder(const AString& baseFolder)
{
    FormatList.Clear();
    MethodList.Clear();
    HRESULT result = LoadDll(baseFolder + platform::main_plugin_library_name());
    if (result != S_OK)
        return result;
    result = LoadDllsFromFolder(baseFolder + "Codecs/");
    if (result != S_OK)
        return result;
    return LoadDllsFromFolder(baseFolder + "Formats/");
}

HRESULT CCodecs::LoadDllsFromFolder(const AString& folderPrefix)
{
    platform::directory_enumerator enumerator(std::string(folderPrefix, static_cast<std::size_t>(folderPrefix.Length())));
    platform::file_entry entry;
    while (enumerator.next(entry)) {
        if (entry.is_directory)
            continue;
        const HRESULT result = LoadDll(folderPrefix + entry.name.c_str());
        if (result != S_OK)
            return result;
    }
    return S_OK;
}

HRESULT CCodecs::LoadDll(const AString& path)
{
    // A missing file or one that is no library is skipped silently.
    if (!platform::is_library_file(path))
        return S_OK;
    const int libIndex = LibList.Size();
    CCodecLib& lib = LibList.AddNew();
    if (lib.Lib.load(path))
        lib.CreateObject = reinterpret_cast<Func_CreateObject>(lib.Lib.symbol("CreateObject"));
    if (!lib.CreateObject) {
        LibList.Delete(libIndex);
        return S_OK;
    }
    const int methodCount = MethodList.Size();
    const int formatCount = FormatList.Size();
    HRESULT result = LoadCodecs(libIndex);
    if (result == S_OK)
        result = LoadFormats(libIndex);
    if (MethodList.Size() == methodCount && FormatList.Size() == formatCount)
        LibList.Delete(libIndex);
    return result;
}

HRESULT CCodecs::LoadCodecs(int libIndex)
{
    CCodecLib& lib = LibList[libIndex];
    lib.GetMethodProperty = reinterpret_cast<Func_GetMethodProperty>(lib.Lib.symbol("GetMethodProperty"));
    if (!lib.GetMethodProperty)
        return S_OK;
    UInt32 count = 1;
    if (auto getCount = reinterpret_cast<Func_GetNumberOfMethods>(lib.Lib.symbol("GetNumberOfMethods"))) {
        const HRESULT result = getCount(&count);
        if (result != S_OK)
            return result;
    }
    for (UInt32 i = 0; i < count; ++i) {
        CDllCodecInfo method;
        method.LibIndex = libIndex;
        method.CodecIndex = i;
        HRESULT result = ReadMethodClassId(lib.GetMethodProperty, i, method_property::encoder, method.Encoder,
                                           method.EncoderIsAssigned);
        if (result == S_OK)
            result = ReadMethodClassId(lib.GetMethodProperty, i, method_property::decoder, method.Decoder,
                                       method.DecoderIsAssigned);
        if (result != S_OK)
            return result;
        MethodList.Add(method);
    }
    return S_OK;
}

HRESULT CCodecs::LoadFormats(int libIndex)
{
    const platform::dynamic_library& lib = LibList[libIndex].Lib;
    CHandlerPropertyReader reader;
    reader.GetProp2 = reinterpret_cast<Func_GetHandlerProperty2>(lib.symbol("GetHandlerProperty2"));
    if (!reader.GetProp2) {
        reader.GetProp = reinterpret_cast<Func_GetHandlerProperty>(lib.symbol("GetHandlerProperty"));
        if (!reader.GetProp)
            return S_OK;
    }
    UInt32 count = 1;
    if (auto getCount = reinterpret_cast<Func_GetNumberOfFormats>(lib.symbol("GetNumberOfFormats"))) {
        const HRESULT result = getCount(&count);
        if (result != S_OK)
            return result;
    }
    if (!reader.GetProp2)
        count = 1;
    const auto getIsArc = reinterpret_cast<Func_GetIsArc>(lib.symbol("GetIsArc"));

    for (UInt32 i = 0; i < count; ++i) {
        CArcInfoEx format;
        format.LibIndex = libIndex;
        format.FormatIndex = i;
        HRESULT result = reader.ReadString(i, handler_property::name, format.Name);
        if (result != S_OK)
            return result;
        {
            CPropVariant value;
            if (reader.Read(i, handler_property::class_id, &value) != S_OK || !GetClassId(value, format.ClassID))
                continue;
        }
        UString exts, addExts;
        result = reader.ReadString(i, handler_property::extension, exts);
        if (result == S_OK)
            result = reader.ReadString(i, handler_property::add_extension, addExts);
        if (result != S_OK)
            return result;
        SetExtensions(format, exts, addExts);

        reader.ReadBool(i, handler_property::update, format.UpdateEnabled);
        if (format.UpdateEnabled)
            reader.ReadBool(i, handler_property::keep_name, format.KeepName);

        ReadSignatures(reader, i, format);
        if (getIsArc && getIsArc(i, &format.IsArc) != S_OK)
            format.IsArc = nullptr;
        FormatList.Add(format);
    }
    return S_OK;
}
