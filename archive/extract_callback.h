// CArchiveExtractCallback: receives one item's bytes from the handler and appends
// them to the caller's byte string, counting the items that did not succeed.
#pragma once

#include "archive/com_object.h"

#include <string>

class CArchiveExtractCallback
    : public CMyUnknownImp<IArchiveExtractCallback, ICryptoGetTextPassword, ISequentialOutStream> {
public:
    explicit CArchiveExtractCallback(std::string& target) : Target(target) {}

    HRESULT QueryInterface(const GUID& iid, void** object) override;
    HRESULT SetTotal(UInt64 total) override;
    HRESULT SetCompleted(const UInt64* completeValue) override;
    HRESULT GetStream(UInt32 index, ISequentialOutStream** outStream, Int32 askExtractMode) override;
    HRESULT PrepareOperation(Int32 askExtractMode) override;

    // Counts and reports on the console any result but success.
    HRESULT SetOperationResult(Int32 operationResult) override;

    // The empty password: encrypted items are tried with it.
    HRESULT CryptoGetTextPassword(BSTR* password) override;

    // Appends the bytes to the target; E_OUTOFMEMORY when they do not fit.
    HRESULT Write(const void* data, UInt32 size, UInt32* processedSize) override;

    int ErrorCount = 0;

private:
    std::string& Target;
};
