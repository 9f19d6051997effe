// The registry as archive handlers see it, and the lookup of a format by name.
#include "archive/codecs.h"

#include "archive/prop_variant.h"
#include "archive/string_convert.h"

int FindFormatByName(const CObjectVector<CArcInfoEx>& formats, const wchar_t* name)
{
    for (int i = 0; i < formats.Size(); ++i)
        if (CompareNoCase(formats[i].Name, name) == 0)
            return i;
    return -1;
}

HRESULT CCodecs::QueryInterface(const GUID& iid, void** object)
{
    if (iid == IID_IUnknown) {
        *object = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT CCodecs::GetNumMethods(UInt32* numMethods)
{
    *numMethods = static_cast<UInt32>(MethodList.Size());
    return S_OK;
}

HRESULT CCodecs::GetProperty(UInt32 index, PROPID propID, PROPVARIANT* value)
{
    if (index >= static_cast<UInt32>(MethodList.Size()))
        return E_FAIL;
    const CDllCodecInfo& method = MethodList[static_cast<int>(index)];
    if (propID == method_property::decoder_is_assigned) {
        SetBoolValue(*value, method.DecoderIsAssigned);
        return S_OK;
    }
    if (propID == method_property::encoder_is_assigned) {
        SetBoolValue(*value, method.EncoderIsAssigned);
        return S_OK;
    }
    return LibList[method.LibIndex].GetMethodProperty(method.CodecIndex, propID, value);
}

HRESULT CCodecs::CreateDecoder(UInt32 index, const GUID* iid, void** coder)
{
    return CreateCoder(index, true, iid, coder);
}

HRESULT CCodecs::CreateEncoder(UInt32 index, const GUID* iid, void** coder)
{
    return CreateCoder(index, false, iid, coder);
}

HRESULT CCodecs::CreateCoder(UInt32 index, bool decoder, const GUID* iid, void** coder)
{
    if (index >= static_cast<UInt32>(MethodList.Size()))
        return E_FAIL;
    const CDllCodecInfo& method = MethodList[static_cast<int>(index)];
    if (!(decoder ? method.DecoderIsAssigned : method.EncoderIsAssigned))
        return S_OK;
    return LibList[method.LibIndex].CreateObject(decoder ? &method.Decoder : &method.Encoder, iid, coder);
}
