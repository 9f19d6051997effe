// CArchiveOpenCallback: what a handler may call while it opens the archive: its
// progress, the password of an archive whose names are encrypted, and the
// volumes of an archive that spans several files (the other volumes are looked
// for in the folder of the first).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "archive/com_object.h"

class CArchiveOpenCallback
    : public CMyUnknownImp<IArchiveOpenCallback, IArchiveOpenVolumeCallback, ICryptoGetTextPassword> {
public:
    // `path` (UTF-8) is the file the handler reads, `name` the name it goes by
    // (the file's own name, or that of the whole that joined volumes make).
    // `password`: the answer to a handler that asks for one; none refuses.
    CArchiveOpenCallback(std::string path, std::string name, std::optional<std::string> password);

    HRESULT STDMETHODCALLTYPE QueryInterface(const GUID& iid, void** object) override;
    HRESULT STDMETHODCALLTYPE SetTotal(const UInt64* files, const UInt64* bytes) override;
    HRESULT STDMETHODCALLTYPE SetCompleted(const UInt64* files, const UInt64* bytes) override;

    // The name the handler's stream goes by (property 4); nothing else is known.
    HRESULT STDMETHODCALLTYPE GetProperty(PROPID propID, PROPVARIANT* value) override;

    // Opens the volume `name` from the folder of the archive: S_FALSE when there
    // is none (noted in MissingVolumes), or when the name is not a plain file name.
    HRESULT STDMETHODCALLTYPE GetStream(const wchar_t* name, IInStream** inStream) override;

    // Gives the password, or notes the question and returns E_ABORT when there is none.
    HRESULT STDMETHODCALLTYPE CryptoGetTextPassword(BSTR* password) override;

    bool PasswordAsked = false;
    std::vector<std::string> MissingVolumes;  // UTF-8 names the handler asked for in vain

private:
    std::string Folder;  // ends in '/', or empty for the working folder
    std::string Name;
    std::optional<std::string> Password;
};
