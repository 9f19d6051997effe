// Opening and listing the archive.
#include "archive/open_archive.h"

#include "app/console.h"
#include "archive/in_file_stream.h"
#include "archive/open_callback.h"
#include "archive/pathless_item_name.h"
#include "archive/prop_variant.h"
#include "archive/program_archive.h"
#include "archive/signature_order.h"
#include "archive/string_convert.h"
#include "platform/console_input.h"
#include "platform/process_exit.h"

#include <cwchar>
#include <string_view>

namespace {

constexpr std::size_t kSignatureSearchSize = 2097152;
constexpr UInt64 kMaxCheckStartPosition = 4194304;
constexpr int kMaxFormatCount = 255;

// Reads up to 2 MiB from the start of the stream into `buffer`; S_OK with the count.
HRESULT ReadLeadingBytes(IInStream* stream, CByteBuffer& buffer, std::size_t& count)
{
    count = 0;
    HRESULT result = stream->Seek(0, platform::seek_from_start, nullptr);
    if (result != S_OK)
        return result;
    buffer.SetCapacity(kSignatureSearchSize);
    while (count < kSignatureSearchSize) {
        UInt32 processed = 0;
        result = stream->Read(buffer.Items() + count, static_cast<UInt32>(kSignatureSearchSize - count), &processed);
        if (result != S_OK)
            return result;
        if (processed == 0)
            break;
        count += processed;
    }
    return S_OK;
}

// Creates the format's handler and lets it open the stream: S_OK with `archive`
// set, S_FALSE when the format does not fit (or its library made no handler),
// else the failure.
HRESULT TryFormat(CCodecs& codecs, int formatIndex, IInStream* stream, IArchiveOpenCallback* callback,
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

// Inserts every item's path (property 3) with its index into the tree; an item
// without a path goes in under `pathlessName`.
void ListItems(IInArchive* archive, const std::string& pathlessName, browse::content_tree& tree)
{
    UInt32 count = 0;
    if (archive->GetNumberOfItems(&count) != S_OK)
        return;
    CPropVariant path;
    AString bytes;
    for (UInt32 i = 0; i < count; ++i) {
        path.Clear();
        archive->GetProperty(i, item_property::path, &path);
        ItemPathBytes(path, bytes);
        if (bytes.Length() == 0)
            tree.add_item(pathlessName, i);
        else
            tree.add_item(std::string_view(bytes, static_cast<std::size_t>(bytes.Length())), i);
    }
}

}  // namespace

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
    const CRecordVector<int> order = OrderFormatsBySignature(codecs.FormatList, buffer.Items(), count);
    for (int i = 0; i < order.Size(); ++i) {
        result = TryFormat(codecs, order[i], stream, callback, archive);
        if (result == S_OK)
            formatIndex = order[i];
        if (result != S_FALSE)
            return result;
    }
    return S_FALSE;
}

void open_and_list(const char* archive_path, browse::content_tree& tree)
{
    // Whatever an earlier call opened is let go first.
    program_archive.archive.Release();
    const UString name = MultiByteToUnicodeString(AString(archive_path));
    CInFileStream* fileStream = new CInFileStream;
    program_archive.stream = fileStream;
    if (!fileStream->Open(name)) {
        print_message("Can not open input file");
        return;
    }
    CMyComPtr<IArchiveOpenCallback> callback(new CArchiveOpenCallback);
    int formatIndex = -1;
    if (OpenArchive(program_codecs(), program_archive.stream, callback, program_archive.archive, formatIndex) != S_OK) {
        print_message("Can not get input class object");
        platform::read_one_character();
        platform::exit_process_at_once(3);
    }
    ListItems(program_archive.archive, NameForPathlessItem(archive_path, program_codecs().FormatList[formatIndex]),
              tree);
}
