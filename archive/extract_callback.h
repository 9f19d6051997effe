// CArchiveExtractCallback: what the library calls while it extracts items. The
// bytes of each item go to the item sink that the items sink gives for it; each
// item's result goes back to the items sink as soon as the library reports it.
// Encrypted items are decoded with the password the extraction was given.
#pragma once

#include <string>

#include "archive/com_object.h"
#include "archive/item_sink.h"

class CArchiveExtractCallback
    : public CMyUnknownImp<IArchiveExtractCallback, ICryptoGetTextPassword, ISequentialOutStream> {
public:
    // `password` may be empty: no password.
    CArchiveExtractCallback(archive::items_sink& sink, std::string password)
        : Sink(sink), Password(std::move(password))
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(const GUID& iid, void** object) override;
    HRESULT STDMETHODCALLTYPE SetTotal(UInt64 total) override;

    // E_ABORT once the sink no longer wants the extraction.
    HRESULT STDMETHODCALLTYPE SetCompleted(const UInt64* completeValue) override;

    // Begins the item with the sink; a null stream lets its bytes go by.
    HRESULT STDMETHODCALLTYPE GetStream(UInt32 index, ISequentialOutStream** outStream, Int32 askExtractMode) override;
    HRESULT STDMETHODCALLTYPE PrepareOperation(Int32 askExtractMode) override;

    // Ends the current item with its result.
    HRESULT STDMETHODCALLTYPE SetOperationResult(Int32 operationResult) override;

    // The extraction's password; the sink learns that one was needed.
    HRESULT STDMETHODCALLTYPE CryptoGetTextPassword(BSTR* password) override;

    // Passes the bytes to the current item's sink; E_ABORT when it refuses them.
    HRESULT STDMETHODCALLTYPE Write(const void* data, UInt32 size, UInt32* processedSize) override;

    // Ends an item that the library began but never reported (the extraction
    // stopped in it), and tells how the extraction as a whole ended.
    archive::item_status Finish(HRESULT extractResult);

private:
    void EndCurrent(archive::item_status status);
    archive::item_status failed_decoding(Int32 operationResult) const;

    archive::items_sink& Sink;
    const std::string Password;
    bool PasswordAsked = false;
    bool HasCurrent = false;
    UInt32 CurrentIndex = 0;
    archive::item_sink* Current = nullptr;
    bool Refused = false;  // a sink refused bytes or the extraction
};
