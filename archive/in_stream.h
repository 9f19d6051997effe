// CInStream: what every seekable input stream of the program's answers the
// library: IUnknown and IInStream for reading and seeking, IStreamGetSize for
// its size. A stream derives from it and implements those methods.
#pragma once

#include "archive/com_object.h"

class CInStream : public CMyUnknownImp<IInStream, IStreamGetSize> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(const GUID& iid, void** object) override;
};
