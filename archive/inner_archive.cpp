// Checking an item's first bytes, and decoding an item into a temporary file.
#include "archive/inner_archive.h"

#include <algorithm>
#include <cstring>

#include "archive/string_convert.h"

namespace archive {

namespace {

// Enough for every format's check (a tar header is 512 bytes).
constexpr std::size_t leading_size = 65536;

// Keeps an item's first bytes and stops the extraction once it has them.
class leading_bytes_sink : public item_sink {
public:
    bool write(const char* data, std::size_t size) override
    {
        bytes.append(data, std::min(size, leading_size - bytes.size()));
        return bytes.size() < leading_size;
    }
    std::string bytes;
};

// Writes the item into the temporary file; stops at the first failed write.
class file_sink : public item_sink {
public:
    explicit file_sink(platform::temporary_file& file) : file_(file) {}
    bool write(const char* data, std::size_t size) override
    {
        written_ = file_.append(data, size) == S_OK;
        return written_;
    }
    bool written() const { return written_; }

private:
    platform::temporary_file& file_;
    bool written_ = true;
};

// Programs and object files: the library lists their sections as items, but
// they are files, not archives of files.
bool is_program_format(const CArcInfoEx& format)
{
    for (const wchar_t* name : {L"ELF", L"PE", L"TE", L"MachO", L"Mub", L"COFF"})
        if (CompareNoCase(format.Name, name) == 0)
            return true;
    return false;
}

}  // namespace

bool starts_like_archive(const CCodecs& codecs, const unsigned char* data, std::size_t size, bool programs_count)
{
    for (int i = 0; i < codecs.FormatList.Size(); ++i) {
        const CArcInfoEx& format = codecs.FormatList[i];
        if (!programs_count && is_program_format(format))
            continue;
        if (format.IsArc) {
            if (format.IsArc(data, size) == is_archive_answer::yes)
                return true;
            continue;
        }
        // A format without a check of its own (xz, zstd, 7z, rar) is known by
        // its start signature at the very start.
        const std::size_t length = format.StartSignature.GetCapacity();
        if (length >= 2 && length <= size && std::memcmp(format.StartSignature.Items(), data, length) == 0)
            return true;
    }
    return false;
}

bool item_is_archive(const CCodecs& codecs, archive_file& outer, std::uint32_t index, bool programs_count)
{
    leading_bytes_sink sink;
    (void)outer.extract(index, sink);  // whatever came before a failure is judged
    return starts_like_archive(codecs, reinterpret_cast<const unsigned char*>(sink.bytes.data()), sink.bytes.size(),
                               programs_count);
}

inner_status inner_archive::open(CCodecs& codecs, archive_file& outer, std::uint32_t index, const std::string& name,
                                  std::optional<std::string> password)
{
    if (file_.create() != S_OK)
        return inner_status::no_temporary_file;
    file_sink sink(file_);
    const item_status decoded = outer.extract(index, sink);
    if (!sink.written())
        return inner_status::no_temporary_file;
    if (decoded != item_status::ok)
        return inner_status::damaged;
    archive_.set_names_code_page(outer.names_code_page());
    if (archive_.open(codecs, file_.reopen_path(), std::move(password), name).status != open_status::opened)
        return inner_status::not_an_archive;
    return inner_status::opened;
}

}  // namespace archive
