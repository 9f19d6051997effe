// The open callback's methods.
#include "archive/open_callback.h"


HRESULT CArchiveOpenCallback::QueryInterface(const GUID& iid, void** object)
{
    if (iid == IID_IUnknown || iid == IID_ICryptoGetTextPassword) {
        *object = static_cast<ICryptoGetTextPassword*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT CArchiveOpenCallback::SetTotal(const UInt64*, const UInt64*)
{
    return S_OK;
}

HRESULT CArchiveOpenCallback::SetCompleted(const UInt64*, const UInt64*)
{
    return S_OK;
}

HRESULT CArchiveOpenCallback::CryptoGetTextPassword(BSTR*)
{
    PasswordAsked = true;
    return E_ABORT;
}
