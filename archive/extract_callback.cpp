// The extract callback's methods.
#include "archive/extract_callback.h"

#include "app/console.h"
#include "platform/ole_automation.h"

#include <exception>

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
    return S_OK;
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
    if (operationResult == operation_result::ok)
        return S_OK;
    ++ErrorCount;
    print_text("     ");
    switch (operationResult) {
    case operation_result::unsupported_method:
        print_text("Unsupported Method");
        break;
    case operation_result::data_error:
        print_text("Data Error");
        break;
    case operation_result::crc_error:
        print_text("CRC Failed");
        break;
    default:
        print_text("Unknown Error");
        break;
    }
    return S_OK;
}

HRESULT CArchiveExtractCallback::CryptoGetTextPassword(BSTR* password)
{
    *password = SysAllocString(L"");
    return *password ? S_OK : E_OUTOFMEMORY;
}

HRESULT CArchiveExtractCallback::Write(const void* data, UInt32 size, UInt32* processedSize)
{
    // No exception may cross into the library: a byte string that cannot grow
    // ends this extraction, not the program.
    try {
        Target.append(static_cast<const char*>(data), size);
    } catch (const std::exception&) {
        return E_OUTOFMEMORY;
    }
    if (processedSize)
        *processedSize = size;
    return S_OK;
}
