// The interfaces of a seekable input stream.
#include "archive/in_stream.h"

HRESULT CInStream::QueryInterface(const GUID& iid, void** object)
{
    if (iid == IID_IUnknown || iid == IID_IInStream)
        *object = static_cast<IInStream*>(this);
    else if (iid == IID_IStreamGetSize)
        *object = static_cast<IStreamGetSize*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}
