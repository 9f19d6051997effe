// The interface of 7-Zip's plug-in libraries: the exports looked up in each
// library, the COM-style interfaces that cross between the program and the
// library, their ids, and the property ids the program reads. Interfaces are
// plain abstract classes whose pure virtual methods stand in the library's slot
// order; they have no virtual destructor, so the tables match the library's.
// IUnknown, IID_IUnknown and the calling convention STDMETHODCALLTYPE come from
// platform/com_types.h.
#pragma once

#include "platform/com_types.h"

#include <cstddef>
#include <cstdint>

using UInt32 = std::uint32_t;
using Int32 = std::int32_t;
using UInt64 = std::uint64_t;
using Int64 = std::int64_t;

// {23170F69-40C1-278A-0000-00gg00ii0000}: the id of the plug-in interfaces.
constexpr GUID plugin_interface_id(std::uint8_t group, std::uint8_t interface_index)
{
    return GUID{0x23170F69, 0x40C1, 0x278A, {0x00, 0x00, 0x00, group, 0x00, interface_index, 0x00, 0x00}};
}

inline constexpr GUID IID_ISequentialOutStream = plugin_interface_id(0x03, 0x02);
inline constexpr GUID IID_IInStream = plugin_interface_id(0x03, 0x03);
inline constexpr GUID IID_IStreamGetSize = plugin_interface_id(0x03, 0x06);
inline constexpr GUID IID_ISetCompressCodecsInfo = plugin_interface_id(0x04, 0x61);
inline constexpr GUID IID_ICryptoGetTextPassword = plugin_interface_id(0x05, 0x10);
inline constexpr GUID IID_IInArchive = plugin_interface_id(0x06, 0x60);
inline constexpr GUID IID_IArchiveOpenVolumeCallback = plugin_interface_id(0x06, 0x30);

class ISequentialInStream : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE Read(void* data, UInt32 size, UInt32* processedSize) = 0;

protected:
    ~ISequentialInStream() = default;
};

class IInStream : public ISequentialInStream {
public:
    virtual HRESULT STDMETHODCALLTYPE Seek(Int64 offset, UInt32 seekOrigin, UInt64* newPosition) = 0;

protected:
    ~IInStream() = default;
};

class IStreamGetSize : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE GetSize(UInt64* size) = 0;

protected:
    ~IStreamGetSize() = default;
};

class ISequentialOutStream : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE Write(const void* data, UInt32 size, UInt32* processedSize) = 0;

protected:
    ~ISequentialOutStream() = default;
};

class IProgress : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE SetTotal(UInt64 total) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCompleted(const UInt64* completeValue) = 0;

protected:
    ~IProgress() = default;
};

class IArchiveOpenCallback : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE SetTotal(const UInt64* files, const UInt64* bytes) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCompleted(const UInt64* files, const UInt64* bytes) = 0;

protected:
    ~IArchiveOpenCallback() = default;
};

// Asked for by the handlers of formats that span several files (volumes).
class IArchiveOpenVolumeCallback : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE GetProperty(PROPID propID, PROPVARIANT* value) = 0;
    // S_FALSE with no stream when there is no volume of that name.
    virtual HRESULT STDMETHODCALLTYPE GetStream(const wchar_t* name, IInStream** inStream) = 0;

protected:
    ~IArchiveOpenVolumeCallback() = default;
};

class IArchiveExtractCallback : public IProgress {
public:
    virtual HRESULT STDMETHODCALLTYPE GetStream(UInt32 index, ISequentialOutStream** outStream, Int32 askExtractMode) = 0;
    virtual HRESULT STDMETHODCALLTYPE PrepareOperation(Int32 askExtractMode) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetOperationResult(Int32 operationResult) = 0;

protected:
    ~IArchiveExtractCallback() = default;
};

class ICryptoGetTextPassword : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE CryptoGetTextPassword(BSTR* password) = 0;

protected:
    ~ICryptoGetTextPassword() = default;
};

class ICompressCodecsInfo : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE GetNumMethods(UInt32* numMethods) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetProperty(UInt32 index, PROPID propID, PROPVARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateDecoder(UInt32 index, const GUID* iid, void** coder) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateEncoder(UInt32 index, const GUID* iid, void** coder) = 0;

protected:
    ~ICompressCodecsInfo() = default;
};

class ISetCompressCodecsInfo : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE SetCompressCodecsInfo(ICompressCodecsInfo* compressCodecsInfo) = 0;

protected:
    ~ISetCompressCodecsInfo() = default;
};

// Only the slots up to Extract are declared: the program calls no later one.
class IInArchive : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE Open(IInStream* stream, const UInt64* maxCheckStartPosition, IArchiveOpenCallback* openCallback) = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNumberOfItems(UInt32* numItems) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetProperty(UInt32 index, PROPID propID, PROPVARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Extract(const UInt32* indices, UInt32 numItems, Int32 testMode,
                            IArchiveExtractCallback* extractCallback) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetArchiveProperty(PROPID propID, PROPVARIANT* value) = 0;

protected:
    ~IInArchive() = default;
};

// Exports of a plug-in library.
using Func_CreateObject = HRESULT(STDMETHODCALLTYPE*)(const GUID* classId, const GUID* iid, void** object);
using Func_GetNumberOfMethods = HRESULT(STDMETHODCALLTYPE*)(UInt32* count);
using Func_GetMethodProperty = HRESULT(STDMETHODCALLTYPE*)(UInt32 index, PROPID propID, PROPVARIANT* value);
using Func_GetNumberOfFormats = HRESULT(STDMETHODCALLTYPE*)(UInt32* count);
using Func_GetHandlerProperty = HRESULT(STDMETHODCALLTYPE*)(PROPID propID, PROPVARIANT* value);
using Func_GetHandlerProperty2 = HRESULT(STDMETHODCALLTYPE*)(UInt32 index, PROPID propID, PROPVARIANT* value);
// A format's own check of an archive's first bytes: one of the is_archive_answer values.
using Func_IsArc = UInt32(STDMETHODCALLTYPE*)(const unsigned char* data, std::size_t size);
using Func_GetIsArc = HRESULT(STDMETHODCALLTYPE*)(UInt32 formatIndex, Func_IsArc* isArc);
namespace is_archive_answer {
inline constexpr UInt32 no = 0;
inline constexpr UInt32 yes = 1;
inline constexpr UInt32 need_more = 2;
}  // namespace is_archive_answer

// Properties of a format (handler).
namespace handler_property {
inline constexpr PROPID name = 0;
inline constexpr PROPID class_id = 1;
inline constexpr PROPID extension = 2;
inline constexpr PROPID add_extension = 3;
inline constexpr PROPID update = 4;
inline constexpr PROPID keep_name = 5;
inline constexpr PROPID start_signature = 6;
// Several signatures, each a length byte and its bytes.
inline constexpr PROPID multi_signature = 7;
// Where in the archive its signatures stand (a tar's "ustar" at 257).
inline constexpr PROPID signature_offset = 8;
}  // namespace handler_property

// Properties of a coding method.
namespace method_property {
inline constexpr PROPID decoder = 2;
inline constexpr PROPID encoder = 3;
inline constexpr PROPID decoder_is_assigned = 7;
inline constexpr PROPID encoder_is_assigned = 8;
}  // namespace method_property

// Properties of an archive item.
// Properties of a whole archive.
namespace archive_property {
inline constexpr PROPID main_item = 1;  // the index of the item that the archive is chiefly a wrapping of
}  // namespace archive_property

namespace item_property {
inline constexpr PROPID path = 3;
inline constexpr PROPID is_folder = 6;
inline constexpr PROPID size = 7;
inline constexpr PROPID packed_size = 8;
inline constexpr PROPID attributes = 9;
inline constexpr PROPID created = 10;
inline constexpr PROPID accessed = 11;
inline constexpr PROPID modified = 12;
inline constexpr PROPID encrypted = 15;
inline constexpr PROPID crc = 19;
inline constexpr PROPID method = 22;
inline constexpr PROPID host_os = 23;
inline constexpr PROPID block = 27;
inline constexpr PROPID comment = 28;
inline constexpr PROPID posix_attributes = 53;
inline constexpr PROPID symbolic_link = 54;
inline constexpr PROPID hard_link = 90;
}  // namespace item_property

// Ask modes of an extraction and the results of one item's operation.
inline constexpr Int32 ask_mode_extract = 0;

namespace operation_result {
inline constexpr Int32 ok = 0;
inline constexpr Int32 unsupported_method = 1;
inline constexpr Int32 data_error = 2;
inline constexpr Int32 crc_error = 3;
inline constexpr Int32 unavailable = 4;
inline constexpr Int32 unexpected_end = 5;
inline constexpr Int32 wrong_password = 9;
}  // namespace operation_result
