// The extract callback's methods.
#include "archive/extract_callback.h"

#include "archive/string_convert.h"
#include "platform/ole_automation.h"

HRESULT CArchiveExtractCallback::QueryInterface(const GUID& iid, void** object)
{
    if (iid == IID_IUnknown || iid == IID_ICryptoGetTextPassword)
        *object = static_cast<ICryptoGetTextPassword*>(this);
    else if (iid == IID_ISequentialOutStream)
        *object = static_cast<ISequentialOutStream*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT CArchiveExtractCallback::SetTotal(UInt64)
{
    return S_OK;
}

HRESULT CArchiveExtractCallback::SetCompleted(const UInt64*)
{
    if (Sink.wanted())
        return S_OK;
    Refused = true;
    return E_ABORT;
}

HRESULT CArchiveExtractCallback::GetStream(UInt32 index, ISequentialOutStream** outStream, Int32 askExtractMode)
{
    *outStream = nullptr;
    if (HasCurrent)
        EndCurrent(archive::item_status::failed);  // the last item never got its result
    // The library may ask only to test an item it cannot decode (a wrong
    // password); its result is reported all the same.
    HasCurrent = true;
    CurrentIndex = index;
    Current = askExtractMode == ask_mode_extract ? Sink.begin_item(index) : nullptr;
    if (Current) {
        *outStream = static_cast<ISequentialOutStream*>(this);
        AddRef();
    }
    return S_OK;
}

HRESULT CArchiveExtractCallback::PrepareOperation(Int32)
{
    return S_OK;
}

HRESULT CArchiveExtractCallback::SetOperationResult(Int32 operationResult)
{
    using archive::item_status;
    switch (operationResult) {
    case operation_result::ok:
        EndCurrent(item_status::ok);
        break;
    case operation_result::unsupported_method:
        EndCurrent(item_status::unsupported_method);
        break;
    case operation_result::unavailable:
        EndCurrent(item_status::unavailable);
        break;
    case operation_result::unexpected_end:
        EndCurrent(item_status::unexpected_end);
        break;
    case operation_result::data_error:
    case operation_result::crc_error:
    case operation_result::wrong_password:
        EndCurrent(failed_decoding(operationResult));
        break;
    default:
        EndCurrent(item_status::unknown_error);
        break;
    }
    return S_OK;
}

void CArchiveExtractCallback::EndCurrent(archive::item_status status)
{
    if (!HasCurrent)
        return;
    HasCurrent = false;
    Current = nullptr;
    Sink.end_item(CurrentIndex, status);
}

// An item that needed a password and cannot be decoded: for want of one when
// none was given; else, whatever the library says (an encrypted item's damage
// and a wrong key look alike), as a wrong password, which the user may retry.
archive::item_status CArchiveExtractCallback::failed_decoding(Int32 operationResult) const
{
    using archive::item_status;
    if (PasswordAsked || operationResult == operation_result::wrong_password)
        return Password.empty() ? item_status::password_needed : item_status::wrong_password;
    return operationResult == operation_result::crc_error ? item_status::crc_error : item_status::data_error;
}

HRESULT CArchiveExtractCallback::CryptoGetTextPassword(BSTR* password)
{
    if (!PasswordAsked)
        Sink.password_asked();
    PasswordAsked = true;
    *password = SysAllocString(MultiByteToUnicodeString(AString(Password.c_str())));
    return *password ? S_OK : E_OUTOFMEMORY;
}

HRESULT CArchiveExtractCallback::Write(const void* data, UInt32 size, UInt32* processedSize)
{
    if (!Current || !Current->write(static_cast<const char*>(data), size)) {
        Refused = true;
        return E_ABORT;
    }
    if (processedSize)
        *processedSize = size;
    return S_OK;
}

archive::item_status CArchiveExtractCallback::Finish(HRESULT extractResult)
{
    using archive::item_status;
    const item_status overall = Refused ? item_status::aborted
                                        : extractResult == S_OK ? item_status::ok : item_status::failed;
    // An item whose result the library never reported has not been extracted,
    // whatever Extract returned.
    EndCurrent(overall == item_status::ok ? item_status::failed : overall);
    return overall;
}
