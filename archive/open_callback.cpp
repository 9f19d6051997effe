// The open callback's methods.
#include "archive/open_callback.h"

#include "archive/in_file_stream.h"
#include "archive/string_convert.h"
#include "platform/ole_automation.h"

namespace {

constexpr PROPID kNameProperty = 4;

}  // namespace

CArchiveOpenCallback::CArchiveOpenCallback(std::string path, std::string name, std::optional<std::string> password)
    : Folder(path.substr(0, path.find_last_of('/') + 1)), Name(std::move(name)), Password(std::move(password))
{
}

HRESULT CArchiveOpenCallback::QueryInterface(const GUID& iid, void** object)
{
    if (iid == IID_IUnknown || iid == IID_ICryptoGetTextPassword)
        *object = static_cast<ICryptoGetTextPassword*>(this);
    else if (iid == IID_IArchiveOpenVolumeCallback)
        *object = static_cast<IArchiveOpenVolumeCallback*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT CArchiveOpenCallback::SetTotal(const UInt64*, const UInt64*)
{
    return S_OK;
}

HRESULT CArchiveOpenCallback::SetCompleted(const UInt64*, const UInt64*)
{
    return S_OK;
}

HRESULT CArchiveOpenCallback::GetProperty(PROPID propID, PROPVARIANT* value)
{
    value->vt = VT_EMPTY;
    if (propID != kNameProperty)
        return S_OK;
    const UString name = MultiByteToUnicodeString(AString(Name.c_str()));
    value->bstrVal = SysAllocString(name);
    if (!value->bstrVal)
        return E_OUTOFMEMORY;
    value->vt = VT_BSTR;
    return S_OK;
}

HRESULT CArchiveOpenCallback::GetStream(const wchar_t* name, IInStream** inStream)
{
    *inStream = nullptr;
    const std::string volume(UnicodeStringToMultiByte(UString(name)));
    // Only a sibling of the archive: no folder part, no way up.
    if (volume.empty() || volume == "." || volume == ".." || volume.find('/') != std::string::npos)
        return S_FALSE;
    auto* file = new CInFileStream;
    CMyComPtr<IInStream> stream(file);
    if (!file->Open(MultiByteToUnicodeString(AString((Folder + volume).c_str())))) {
        MissingVolumes.push_back(volume);
        return S_FALSE;
    }
    *inStream = stream;
    stream->AddRef();  // the caller's reference
    return S_OK;
}

HRESULT CArchiveOpenCallback::CryptoGetTextPassword(BSTR* password)
{
    PasswordAsked = true;
    if (!Password) {
        *password = nullptr;
        return E_ABORT;
    }
    *password = SysAllocString(MultiByteToUnicodeString(AString(Password->c_str())));
    return *password ? S_OK : E_OUTOFMEMORY;
}
