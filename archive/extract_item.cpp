// Extraction of one item through the program's archive handler.
#include "archive/extract_item.h"

#include "archive/extract_callback.h"
#include "archive/prop_variant.h"
#include "archive/program_archive.h"

#include <exception>

namespace {

// Claimed sizes above this are not trusted enough to reserve memory for.
constexpr std::uint64_t kMaxReservation = std::uint64_t{1} << 36;

// Reserves room for the item's size when the handler reports one, so that a large
// item is not copied again and again while it grows. A failed reservation only
// leaves the growth to appending.
void ReserveForItem(IInArchive* archive, UInt32 index, std::string& target)
{
    CPropVariant size;
    if (archive->GetProperty(index, item_property::size, &size) != S_OK || size.vt != VT_UI8)
        return;
    if (size.uhVal > kMaxReservation)
        return;
    try {
        target.reserve(target.size() + static_cast<std::size_t>(size.uhVal));
    } catch (const std::exception&) {
    }
}

}  // namespace

extraction_outcome extract_item(std::uint32_t item_index, std::string& target)
{
    IInArchive* archive = program_archive.archive;
    if (!archive)
        return {E_FAIL, 0};
    ReserveForItem(archive, item_index, target);
    auto* callbackObject = new CArchiveExtractCallback(target);
    CMyComPtr<IArchiveExtractCallback> callback(callbackObject);
    const HRESULT result = archive->Extract(&item_index, 1, 0, callback);
    return {result, callbackObject->ErrorCount};
}
