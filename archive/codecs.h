// The codec and format registry: the loaded plug-in libraries, the coding methods
// and archive formats they offer, and the ICompressCodecsInfo view through which
// archive handlers reach the methods of every loaded library. Positions in
// LibList, MethodList and FormatList are the indices used everywhere else.
#pragma once

#include "archive/com_object.h"
#include "archive/plugin_interface.h"
#include "archive/support_buffer.h"
#include "archive/support_string.h"
#include "archive/support_vector.h"
#include "platform/dynamic_library.h"

struct CCodecLib {
    platform::dynamic_library Lib;
    Func_GetMethodProperty GetMethodProperty = nullptr;
    Func_CreateObject CreateObject = nullptr;
};

struct CDllCodecInfo {
    GUID Encoder{};
    GUID Decoder{};
    bool EncoderIsAssigned = false;
    bool DecoderIsAssigned = false;
    int LibIndex = -1;
    UInt32 CodecIndex = 0;
};

struct CArcExtInfo {
    UString Ext;
    UString AddExt;
};

struct CArcInfoEx {
    int LibIndex = -1;
    UInt32 FormatIndex = 0;
    GUID ClassID{};
    bool UpdateEnabled = false;
    UString Name;
    CObjectVector<CArcExtInfo> Exts;
    // The byte strings that mark the format, at SignatureOffset from the
    // archive's start; none when the format has no signature.
    CObjectVector<CByteBuffer> Signatures;
    UInt32 SignatureOffset = 0;
    Func_IsArc IsArc = nullptr;  // the format's check of leading bytes, when it has one
    bool KeepName = false;
};

// The first position in `formats` whose name equals `name` ignoring case, or -1.
int FindFormatByName(const CObjectVector<CArcInfoEx>& formats, const wchar_t* name);

// The folder that the plug-in libraries are loaded from, given the program's own
// folder (ending in '/'): that folder when it holds "7z.so" or a "Codecs" or
// "Formats" folder, else the folder that the registry key names (with a '/'
// added), else the program's folder.
AString GetBaseFolderPrefix(const AString& modulePrefix);

class CCodecs : public CMyUnknownImp<ICompressCodecsInfo> {
public:
    // The registry's owner holds the first reference, so that no release by an
    // archive handler frees an object that the program owns.
    CCodecs() : CMyUnknownImp(1) {}

    // Loads "7z.so" and every file of the "Codecs" and "Formats" folders from the
    // base folder of the running program. S_OK also when nothing was found; the
    // first failure of a library while its methods or formats are read otherwise.
    HRESULT Load();

    // The same from a given base folder (ending in '/').
    HRESULT LoadFromFolder(const AString& baseFolder);

    HRESULT STDMETHODCALLTYPE QueryInterface(const GUID& iid, void** object) override;
    HRESULT STDMETHODCALLTYPE GetNumMethods(UInt32* numMethods) override;
    HRESULT STDMETHODCALLTYPE GetProperty(UInt32 index, PROPID propID, PROPVARIANT* value) override;
    HRESULT STDMETHODCALLTYPE CreateDecoder(UInt32 index, const GUID* iid, void** coder) override;
    HRESULT STDMETHODCALLTYPE CreateEncoder(UInt32 index, const GUID* iid, void** coder) override;

    // Destroyed in the order FormatList, MethodList, LibList: the libraries last.
    CObjectVector<CCodecLib> LibList;
    CObjectVector<CDllCodecInfo> MethodList;
    CObjectVector<CArcInfoEx> FormatList;

private:
    HRESULT LoadDll(const AString& path);
    HRESULT LoadDllsFromFolder(const AString& folderPrefix);
    HRESULT LoadCodecs(int libIndex);
    HRESULT LoadFormats(int libIndex);
    // A new decoder or encoder of the method; S_OK with nothing made when the
    // method has none.
    HRESULT CreateCoder(UInt32 index, bool decoder, const GUID* iid, void** coder);
};
