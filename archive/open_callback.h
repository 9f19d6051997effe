// CArchiveOpenCallback: what a handler may call while it opens the archive. No
// password is ever supplied: a request for one is noted and refused.
#pragma once

#include "archive/com_object.h"

class CArchiveOpenCallback : public CMyUnknownImp<IArchiveOpenCallback, ICryptoGetTextPassword> {
public:
    HRESULT QueryInterface(const GUID& iid, void** object) override;
    HRESULT SetTotal(const UInt64* files, const UInt64* bytes) override;
    HRESULT SetCompleted(const UInt64* files, const UInt64* bytes) override;

    // Notes the question and returns E_ABORT.
    HRESULT CryptoGetTextPassword(BSTR* password) override;

    bool PasswordAsked = false;
};
