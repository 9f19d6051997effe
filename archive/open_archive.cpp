// Opening and listing the archive.
#include "archive/open_archive.h"

#include "archive/item_links.h"
#include "archive/item_names.h"
#include "archive/prop_variant.h"
#include "archive/signature_order.h"
#include "archive/string_convert.h"
#include "platform/ole_automation.h"
#include "platform/input_file.h"

#include <algorithm>
#include <cwchar>
#include <string_view>

namespace {

constexpr std::size_t kSignatureSearchSize = 2097152;
constexpr UInt64 kMaxCheckStartPosition = 4194304;
constexpr int kMaxFormatCount = 255;

// Reads up to `size` bytes from `offset` into `buffer`, stopping early only at
// the stream's end; S_OK with the count.
HRESULT ReadAt(IInStream* stream, UInt64 offset, std::size_t size, CByteBuffer& buffer, std::size_t& count)
{
    count = 0;
    HRESULT result = stream->Seek(static_cast<Int64>(offset), platform::seek_from_start, nullptr);
    if (result != S_OK)
        return result;
    buffer.SetCapacity(size);
    while (count < size) {
        UInt32 processed = 0;
        result = stream->Read(buffer.Items() + count, static_cast<UInt32>(size - count), &processed);
        if (result != S_OK)
            return result;
        if (processed == 0)
            break;
        count += processed;
    }
    return S_OK;
}

// Reads up to 2 MiB from the start of the stream into `buffer`; S_OK with the count.
HRESULT ReadLeadingBytes(IInStream* stream, CByteBuffer& buffer, std::size_t& count)
{
    return ReadAt(stream, 0, kSignatureSearchSize, buffer, count);
}

// Whether the stream ends with a zip's end record; only the last 64 KiB and
// the record itself are read.
HRESULT EndsWithZipRecord(IInStream* stream, bool& ends)
{
    ends = false;
    UInt64 size = 0;
    HRESULT result = stream->Seek(0, platform::seek_from_end, &size);
    if (result != S_OK)
        return result;
    const std::size_t tail = static_cast<std::size_t>(std::min<UInt64>(size, 65535 + 22));
    CByteBuffer buffer;
    std::size_t count = 0;
    result = ReadAt(stream, size - tail, tail, buffer, count);
    if (result != S_OK)
        return result;
    // A stream shorter than it said has no record to trust.
    ends = count == tail && EndsWithZipEndRecord(buffer.Items(), count);
    return S_OK;
}

// The bytes of an item's path: its text in the OEM code page. A string value is
// converted straight into `bytes`, whose array serves item after item.
void ItemPathBytes(const PROPVARIANT& path, AString& bytes)
{
    if (path.vt == VT_BSTR && path.bstrVal) {
        UnicodeToMultiByte(path.bstrVal, static_cast<int>(std::wcslen(path.bstrVal)), bytes);
        return;
    }
    bytes = UnicodeStringToMultiByte(ConvertPropVariantToString(path));
}

// Reads one property of a plain type into `value`; false when the item has none.
bool ReadNumber(IInArchive* archive, UInt32 index, PROPID property, UInt64& value)
{
    PROPVARIANT prop{};
    if (archive->GetProperty(index, property, &prop) != S_OK)
        return false;
    switch (prop.vt) {
    case VT_UI1: value = prop.bVal; return true;
    case VT_UI2: value = prop.uiVal; return true;
    case VT_UI4: value = prop.ulVal; return true;
    case VT_UI8: value = prop_uint64(prop); return true;
    case VT_BOOL: value = prop.boolVal != VARIANT_FALSE; return true;
    case VT_FILETIME:
        value = (UInt64{prop.filetime.dwHighDateTime} << 32) | prop.filetime.dwLowDateTime;
        return true;
    default:
        VariantClear(&prop);  // a type we do not read (a string, say)
        return false;
    }
}

void ReadDetails(IInArchive* archive, UInt32 index, archive::item_details& details)
{
    UInt64 value = 0;
    details = {};
    if ((details.has_size = ReadNumber(archive, index, item_property::size, value)))
        details.size = value;
    if ((details.has_packed_size = ReadNumber(archive, index, item_property::packed_size, value)))
        details.packed_size = value;
    if ((details.has_modified = ReadNumber(archive, index, item_property::modified, value) && value != 0))
        details.modified = value;
    if ((details.has_created = ReadNumber(archive, index, item_property::created, value) && value != 0))
        details.created = value;
    if ((details.has_accessed = ReadNumber(archive, index, item_property::accessed, value) && value != 0))
        details.accessed = value;
    if ((details.has_attributes = ReadNumber(archive, index, item_property::attributes, value)))
        details.attributes = static_cast<std::uint32_t>(value);
    if ((details.has_unix_mode = ReadNumber(archive, index, item_property::posix_attributes, value)))
        details.unix_mode = static_cast<std::uint32_t>(value);
    details.method = ReadItemText(archive, index, item_property::method);
    details.comment = ReadItemText(archive, index, item_property::comment);
    if ((details.has_crc = ReadNumber(archive, index, item_property::crc, value)))
        details.crc = static_cast<std::uint32_t>(value);
    if ((details.has_block = ReadNumber(archive, index, item_property::block, value)))
        details.block = static_cast<std::uint32_t>(value);
    details.encrypted = ReadNumber(archive, index, item_property::encrypted, value) && value;
    details.is_folder = ReadNumber(archive, index, item_property::is_folder, value) && value;
    ReadItemLink(archive, index, details);
}

}  // namespace

HRESULT OpenWithFormat(CCodecs& codecs, int formatIndex, IInStream* stream, IArchiveOpenCallback* callback,
                       CMyComPtr<IInArchive>& archive)
{
    const CArcInfoEx& format = codecs.FormatList[formatIndex];
    (void)stream->Seek(0, platform::seek_from_start, nullptr);
    CMyComPtr<IInArchive> handler;
    HRESULT result = codecs.LibList[format.LibIndex].CreateObject(&format.ClassID, &IID_IInArchive,
                                                                  reinterpret_cast<void**>(handler.OutPointer()));
    if (result != S_OK)
        return result;
    if (!handler)
        return S_FALSE;
    CMyComPtr<ISetCompressCodecsInfo> setCodecs;
    handler->QueryInterface(IID_ISetCompressCodecsInfo, reinterpret_cast<void**>(setCodecs.OutPointer()));
    if (setCodecs) {
        result = setCodecs->SetCompressCodecsInfo(&codecs);
        if (result != S_OK)
            return result;
    }
    result = handler->Open(stream, &kMaxCheckStartPosition, callback);
    if (result == S_OK)
        archive = handler;
    return result;
}

archive::names_outcome ListItems(IInArchive* archive, std::string_view pathlessName, std::uint32_t namesCodePage,
                                 const item_visitor& visit)
{
    UInt32 count = 0;
    if (archive->GetNumberOfItems(&count) != S_OK)
        return {};
    // The file name's bytes that are not UTF-8 are escaped as the library
    // escapes those of item names.
    const std::string pathless = archive::decoded_name(pathlessName);
    archive::names_decoder names(namesCodePage, visit);
    CPropVariant path;
    AString bytes;
    for (UInt32 i = 0; i < count; ++i) {
        path.Clear();
        archive->GetProperty(i, item_property::path, &path);
        ItemPathBytes(path, bytes);
        const std::string_view name =
            bytes.Length() == 0 ? std::string_view(pathless)
                                : std::string_view(bytes, static_cast<std::size_t>(bytes.Length()));
        // The system that made the item tells which code pages its name may be
        // in; it is asked only of the few names that need decoding.
        const archive::names_origin origin =
            archive::holds_escapes(name)
                ? archive::origin_of_host(ReadItemText(archive, i, item_property::host_os))
                : archive::names_origin::unknown;
        names.add(name, i, origin);
    }
    return names.finish();
}

std::vector<archive::item_details> ReadItemDetails(IInArchive* archive)
{
    UInt32 count = 0;
    if (archive->GetNumberOfItems(&count) != S_OK)
        return {};
    std::vector<archive::item_details> details(count);
    for (UInt32 i = 0; i < count; ++i)
        ReadDetails(archive, i, details[i]);
    return details;
}

HRESULT OpenArchive(CCodecs& codecs, IInStream* stream, IArchiveOpenCallback* callback,
                    CMyComPtr<IInArchive>& archive, int& formatIndex)
{
    CByteBuffer buffer;
    std::size_t count = 0;
    HRESULT result = ReadLeadingBytes(stream, buffer, count);
    if (result != S_OK)
        return result;
    if (count == 0 || codecs.FormatList.Size() > kMaxFormatCount)
        return S_FALSE;
    bool zipEndsFile = false;
    result = EndsWithZipRecord(stream, zipEndsFile);
    if (result != S_OK)
        return result;
    const CRecordVector<int> order = OrderFormatsBySignature(codecs.FormatList, buffer.Items(), count, zipEndsFile);
    for (int i = 0; i < order.Size(); ++i) {
        result = OpenWithFormat(codecs, order[i], stream, callback, archive);
        if (result == S_OK)
            formatIndex = order[i];
        if (result != S_FALSE)
            return result;
    }
    return S_FALSE;
}
