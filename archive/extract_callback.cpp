// The extract callback's methods.
#include "archive/extract_callback.h"

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
    SinkRefused = true;
    return E_ABORT;
}

HRESULT CArchiveExtractCallback::GetStream(UInt32, ISequentialOutStream** outStream, Int32 askExtractMode)
{
    if (askExtractMode == ask_mode_extract) {
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
    if (!ResultReported || OperationResult == operation_result::ok)
        OperationResult = operationResult;
    ResultReported = true;
    return S_OK;
}

HRESULT CArchiveExtractCallback::CryptoGetTextPassword(BSTR* password)
{
    *password = SysAllocString(L"");
    return *password ? S_OK : E_OUTOFMEMORY;
}

HRESULT CArchiveExtractCallback::Write(const void* data, UInt32 size, UInt32* processedSize)
{
    if (!Sink.write(static_cast<const char*>(data), size)) {
        SinkRefused = true;
        return E_ABORT;
    }
    if (processedSize)
        *processedSize = size;
    return S_OK;
}

archive::item_status CArchiveExtractCallback::Status(HRESULT extractResult) const
{
    using archive::item_status;
    if (SinkRefused)
        return item_status::aborted;
    if (ResultReported) {
        switch (OperationResult) {
        case operation_result::ok:
            break;
        case operation_result::unsupported_method:
            return item_status::unsupported_method;
        case operation_result::data_error:
            return item_status::data_error;
        case operation_result::crc_error:
            return item_status::crc_error;
        default:
            return item_status::unknown_error;
        }
    }
    // An item whose result the library never reported has not been extracted,
    // whatever Extract returned.
    return extractResult == S_OK && ResultReported ? item_status::ok : item_status::failed;
}
