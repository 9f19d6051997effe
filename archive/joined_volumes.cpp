// Finding the volumes of a numbered set and reading across them.
#include "archive/joined_volumes.h"

#include <algorithm>
#include <cstdio>

#include "archive/string_convert.h"
#include "platform/directory.h"

namespace {

constexpr std::size_t kNumberDigits = 3;

// The number of a volume named `base` + three or more digits, or 0.
unsigned VolumeNumber(const std::string& name, const std::string& base)
{
    if (name.size() < base.size() + kNumberDigits || name.compare(0, base.size(), base) != 0 ||
        name.size() > base.size() + 9)
        return 0;
    unsigned number = 0;
    for (std::size_t i = base.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return 0;
        number = number * 10 + static_cast<unsigned>(name[i] - '0');
    }
    return number;
}

std::string VolumeName(const std::string& base, unsigned number)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03u", number);
    return base + digits;
}

std::unique_ptr<platform::input_file> OpenVolume(const std::string& path)
{
    auto file = std::make_unique<platform::input_file>();
    if (file->open(MultiByteToUnicodeString(AString(path.c_str()))) != S_OK)
        return nullptr;
    return file;
}

}  // namespace

bool IsFirstNumberedVolume(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
    return path.size() > name_start + 4 && path.compare(path.size() - 4, 4, ".001") == 0;
}

bool CJoinedVolumesStream::Open(const std::string& firstPath, std::vector<std::string>& missing)
{
    const std::size_t name_start = firstPath.find_last_of('/') + 1;
    const std::string folder = firstPath.substr(0, name_start);
    const std::string base = firstPath.substr(name_start, firstPath.size() - name_start - kNumberDigits);
    unsigned last = 1;
    platform::directory_enumerator entries(folder.empty() ? "./" : folder);
    platform::file_entry entry;
    while (entries.next(entry))
        if (!entry.is_directory)
            last = std::max(last, VolumeNumber(entry.name, base));

    UInt64 first_size = 0;
    for (unsigned number = 1; number <= last; ++number) {
        volume part;
        part.file = OpenVolume(folder + VolumeName(base, number));
        if (part.file) {
            if (part.file->size(part.size) != S_OK)
                part.file.reset();
        }
        if (!part.file) {
            if (number == 1)
                return false;
            missing.push_back(VolumeName(base, number));
            part.size = first_size;
        }
        if (number == 1)
            first_size = part.size;
        part.start = Total;
        Total += part.size;
        Volumes.push_back(std::move(part));
    }
    return true;
}

HRESULT CJoinedVolumesStream::Read(void* data, UInt32 size, UInt32* processedSize)
{
    if (processedSize)
        *processedSize = 0;
    if (size == 0 || Position >= Total)
        return S_OK;
    // The last volume that starts at or before the position holds it.
    const auto holder = std::prev(std::upper_bound(Volumes.begin(), Volumes.end(), Position,
                                                   [](UInt64 at, const volume& v) { return at < v.start; }));
    // A missing volume reads as an early end: a handler takes what lies in it
    // as cut off, and can still read what lies beyond (the headers at the end).
    if (!holder->file)
        return S_OK;
    UInt64 unused = 0;
    HRESULT result = holder->file->seek(static_cast<Int64>(Position - holder->start), platform::seek_from_start, unused);
    if (result != S_OK)
        return result;
    const UInt32 wanted = static_cast<UInt32>(std::min<UInt64>(size, holder->start + holder->size - Position));
    UInt32 processed = 0;
    result = holder->file->read(data, wanted, processed);
    Position += processed;
    if (processedSize)
        *processedSize = processed;
    return result;
}

HRESULT CJoinedVolumesStream::Seek(Int64 offset, UInt32 seekOrigin, UInt64* newPosition)
{
    Int64 base = 0;
    switch (seekOrigin) {
    case platform::seek_from_start: break;
    case platform::seek_from_current: base = static_cast<Int64>(Position); break;
    case platform::seek_from_end: base = static_cast<Int64>(Total); break;
    default: return STG_E_INVALIDFUNCTION;
    }
    if (offset < -base)
        return static_cast<HRESULT>(0x80070083u);  // before the start: ERROR_NEGATIVE_SEEK
    Position = static_cast<UInt64>(base + offset);
    if (newPosition)
        *newPosition = Position;
    return S_OK;
}

HRESULT CJoinedVolumesStream::GetSize(UInt64* size)
{
    *size = Total;
    return S_OK;
}
