// CArchiveExtractCallback: what the library calls while it extracts one item.
// The item's bytes go to an item sink; the item's result is kept for the caller.
#pragma once

#include "archive/com_object.h"
#include "archive/item_sink.h"

class CArchiveExtractCallback
    : public CMyUnknownImp<IArchiveExtractCallback, ICryptoGetTextPassword, ISequentialOutStream> {
public:
    explicit CArchiveExtractCallback(archive::item_sink& sink) : Sink(sink) {}

    HRESULT QueryInterface(const GUID& iid, void** object) override;
    HRESULT SetTotal(UInt64 total) override;

    // E_ABORT once the sink no longer wants the item.
    HRESULT SetCompleted(const UInt64* completeValue) override;
    HRESULT GetStream(UInt32 index, ISequentialOutStream** outStream, Int32 askExtractMode) override;
    HRESULT PrepareOperation(Int32 askExtractMode) override;

    // Keeps the item's result.
    HRESULT SetOperationResult(Int32 operationResult) override;

    // The empty password: encrypted items are tried with it.
    HRESULT CryptoGetTextPassword(BSTR* password) override;

    // Passes the bytes to the sink; E_ABORT when it refuses them.
    HRESULT Write(const void* data, UInt32 size, UInt32* processedSize) override;

    // How the item ended, given what Extract returned.
    archive::item_status Status(HRESULT extractResult) const;

private:
    archive::item_sink& Sink;
    bool ResultReported = false;
    Int32 OperationResult = operation_result::ok;
    bool SinkRefused = false;
};
