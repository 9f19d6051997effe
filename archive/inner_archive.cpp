// Checking an item's first bytes, and decoding an item into a temporary file.
#include "archive/inner_archive.h"

#include <algorithm>
#include <functional>

#include "archive/partition_table.h"
#include "archive/seekable_decoded_stream.h"
#include "archive/signature_order.h"
#include "archive/string_convert.h"
#include "archive/xz_blocks.h"
#if VORSEL_ZSTD_FRAMES
#include "archive/zstd_frames.h"
#endif

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
        failure_ = file_.append(data, size);
        return failure_ == S_OK;
    }
    // S_OK, or why the write that stopped the item failed.
    HRESULT failure() const { return failure_; }

private:
    platform::temporary_file& file_;
    HRESULT failure_ = S_OK;
};

// Programs and object files: the library lists their sections as items, but
// they are files, not archives of files.
bool is_program_format(const wchar_t* format_name)
{
    for (const wchar_t* name : {L"ELF", L"PE", L"TE", L"MachO", L"Mub", L"COFF"})
        if (CompareNoCase(format_name, name) == 0)
            return true;
    return false;
}

}  // namespace

bool starts_like_archive(const CCodecs& codecs, const unsigned char* data, std::size_t size, bool programs_count)
{
    for (int i = 0; i < codecs.FormatList.Size(); ++i) {
        const CArcInfoEx& format = codecs.FormatList[i];
        if (!programs_count && is_program_format(format.Name))
            continue;
        if (format.IsArc) {
            if (format.IsArc(data, size) == is_archive_answer::yes)
                return true;
            continue;
        }
        // A format without a check of its own is known by a signature where
        // it belongs: at the start for xz, zstd, 7z or rar, further in for a
        // GPT disk (512) or an NTFS volume (3). The MBR format declares none.
        if (SignatureSitsAtItsOffset(format, data, size))
            return true;
        if (CompareNoCase(format.Name, L"MBR") == 0 && starts_with_partition_table(data, size))
            return true;
    }
    return false;
}

namespace {

// How the one item of a compressed file can be read from the file itself.
enum class seekable_kind { none, gzip, xz, zstd };

seekable_kind seekable_kind_of(const archive_file& outer)
{
    if (!outer.is_open() || outer.path().empty() || outer.item_count() != 1)
        return seekable_kind::none;
    if (CompareNoCase(outer.format_name().c_str(), L"gzip") == 0 && starts_like_gzip(outer.path()))
        return seekable_kind::gzip;
    // One block is no better than a copy: a read anywhere would decode from the start.
    if (CompareNoCase(outer.format_name().c_str(), L"xz") == 0) {
        const std::optional<xz_blocks> blocks = read_xz_blocks(outer.path());
        if (blocks && blocks->blocks.size() > 1)
            return seekable_kind::xz;
    }
#if VORSEL_ZSTD_FRAMES
    // So is one frame. (Two frames tell it: the whole walk is left to the open.)
    if (CompareNoCase(outer.format_name().c_str(), L"zstd") == 0) {
        const std::optional<std::vector<zstd_frame>> frames = read_zstd_frames(outer.path(), 2);
        if (frames && frames->size() > 1)
            return seekable_kind::zstd;
    }
#endif
    return seekable_kind::none;
}

}  // namespace

item_start look_at_item(const CCodecs& codecs, archive_file& outer, std::uint32_t index, bool programs_count,
                        const std::optional<std::string>& password)
{
    const auto judged = [&](const unsigned char* data, std::size_t size) {
        return starts_like_archive(codecs, data, size, programs_count) ? item_start::archive : item_start::other;
    };
    // The library decodes xz a few whole blocks at a time: the first bytes of a
    // file of several blocks are read through its first block alone.
    if (index == 0 && seekable_kind_of(outer) == seekable_kind::xz) {
        if (std::optional<xz_blocks> blocks = read_xz_blocks(outer.path())) {
            xz_reader reader(outer.path(), std::make_shared<const xz_blocks>(std::move(*blocks)));
            std::vector<unsigned char> leading(leading_size);
            std::size_t decoded = 0;
            if (reader.decode(leading.data(), leading.size(), decoded) == decode_status::ok)
                return judged(leading.data(), decoded);
        }
    }
#if VORSEL_ZSTD_FRAMES
    // And those of a zstd file of several frames through its first frame.
    if (index == 0 && seekable_kind_of(outer) == seekable_kind::zstd) {
        zstd_reader reader(outer.path(), std::make_shared<gzip_seek_points>());
        std::vector<unsigned char> leading(leading_size);
        std::size_t decoded = 0;
        if (reader.decode(leading.data(), leading.size(), decoded) == decode_status::ok)
            return judged(leading.data(), decoded);
    }
#endif
    leading_bytes_sink sink;
    // Whatever came before a failure is judged, unless the password failed.
    const item_status status = outer.extract(index, sink, password);
    if (status == item_status::password_needed)
        return item_start::password_needed;
    if (status == item_status::wrong_password)
        return item_start::wrong_password;
    return judged(reinterpret_cast<const unsigned char*>(sink.bytes.data()), sink.bytes.size());
}

std::optional<std::uint32_t> single_archive_item(const CCodecs& codecs, archive_file& level)
{
    const std::uint32_t count = level.item_count();
    std::optional<std::uint32_t> single;
    if (count == 1)
        single = 0;
    else if (count > 1 && !is_program_format(level.format_name().c_str()))
        single = level.main_item();
    if (!single || look_at_item(codecs, level, *single, false) != item_start::archive)
        return std::nullopt;
    for (std::uint32_t index = 0; index < count; ++index)
        if (index != *single && look_at_item(codecs, level, index, false) != item_start::other)
            return std::nullopt;
    return single;
}

namespace {

// Deflate decodes at most 1032 bytes from one.
constexpr std::uint64_t deflate_ratio_bound = 1032;
// A zstd block of 4 bytes (its header and the byte of a run) decodes to at
// most 128 KiB, and no block decodes to more for fewer bytes.
constexpr std::uint64_t zstd_ratio_bound = (128 << 10) / 4;

// How a source of the compressed file's decoded bytes is used: `report` is
// told how far it has read, when given; `whole` reads the whole file in order
// (the first open's), which may decode ahead on another thread.
struct source_use {
    read_progress report;
    bool whole = false;
};
using source_maker = std::function<std::unique_ptr<decoded_source>(source_use use)>;

// The index of the tar format when the decoded bytes start with a tar header:
// its handler is then given the size bound, as it stops at its own end.
int tar_format_starting(const CCodecs& codecs, const source_maker& make_source)
{
    const int tar = FindFormatByName(codecs.FormatList, L"tar");
    if (tar < 0 || !codecs.FormatList[tar].IsArc)
        return -1;
    const std::unique_ptr<decoded_source> source = make_source({});
    unsigned char header[512];
    std::size_t decoded = 0;
    if (source->decode(header, sizeof header, decoded) != decode_status::ok || decoded != sizeof header)
        return -1;
    return codecs.FormatList[tar].IsArc(header, sizeof header) == is_archive_answer::yes ? tar : -1;
}

}  // namespace

bool inner_archive::reads_compressed_file(const archive_file& outer)
{
    return seekable_kind_of(outer) != seekable_kind::none;
}

inner_status inner_archive::open_through_points(CCodecs& codecs, const archive_file& outer, const std::string& name,
                                                std::optional<std::string> password, const inner_options& options)
{
    const seekable_kind kind = seekable_kind_of(outer);
    const lasting_index_place* lasting = options.lasting;
    const std::optional<archive_identity> identity =
        lasting ? identify_archive(outer.path()) : std::optional<archive_identity>();
    std::optional<index_contents> loaded = identity ? load_index(*lasting, *identity) : std::nullopt;
    from_index_ = loaded.has_value();
    reads_ = loaded ? loaded->reads : std::make_shared<recorded_reads>();
    // Gzip's points are recorded on the first reading (and kept in the index);
    // an xz file's blocks are in its own index, read anew each time; a zstd
    // file's frames are walked, and placed on the first reading where their
    // headers do not record their sizes (and kept in the index as gzip's).
    source_maker make_source;
    if (kind == seekable_kind::xz) {
        std::optional<xz_blocks> blocks = read_xz_blocks(outer.path());
        if (!blocks)
            return inner_status::damaged;
        points_ = std::make_shared<gzip_seek_points>();
        points_->complete_at(blocks->decoded_size);
        auto shared = std::make_shared<const xz_blocks>(std::move(*blocks));
        make_source = [path = outer.path(), shared](source_use use) -> std::unique_ptr<decoded_source> {
            auto reader = std::make_unique<xz_reader>(path, shared);
            if (use.report)
                reader->report_progress(std::move(use.report));
            if (use.whole)
                reader->read_ahead();
            return reader;
        };
    } else
#if VORSEL_ZSTD_FRAMES
    if (kind == seekable_kind::zstd) {
        std::optional<std::vector<zstd_frame>> frames = loaded ? std::nullopt : read_zstd_frames(outer.path());
        if (!loaded && !frames)
            return inner_status::damaged;
        points_ = loaded ? loaded->points : zstd_seek_points(*frames);
        auto walked = frames ? std::make_shared<const std::vector<zstd_frame>>(std::move(*frames)) : nullptr;
        make_source = [path = outer.path(), points = points_,
                       walked](source_use use) -> std::unique_ptr<decoded_source> {
            auto reader = std::make_unique<zstd_reader>(path, points);
            if (use.report)
                reader->report_progress(std::move(use.report));
            if (use.whole && walked)
                reader->read_ahead(walked);
            return reader;
        };
    } else
#endif
    {
        points_ = loaded ? loaded->points : std::make_shared<gzip_seek_points>();
        make_source = [path = outer.path(), points = points_](source_use use) -> std::unique_ptr<decoded_source> {
            auto reader = std::make_unique<gzip_reader>(path, points);
            if (use.report)
                reader->report_progress(std::move(use.report));
            return reader;
        };
    }
    decoded_stream_options stream_options{reads_, std::nullopt};
    const int tar = tar_format_starting(codecs, make_source);
    platform::input_file compressed;
    std::uint64_t compressed_size = 0;
    if ((kind == seekable_kind::gzip || kind == seekable_kind::zstd) && tar >= 0 &&
        compressed.open(MultiByteToUnicodeString(AString(outer.path().c_str()))) == S_OK &&
        compressed.size(compressed_size) == S_OK)
        stream_options.size_bound = kind == seekable_kind::gzip
                                        ? compressed_size * deflate_ratio_bound + deflate_window_size
                                        : compressed_size * zstd_ratio_bound;
    // The first open's stream reads the file the first time: it reports progress.
    // It stops reporting once open, as later reads are served on other threads.
    const auto reporting = std::make_shared<bool>(true);
    read_progress first_report;
    if (options.progress && !from_index_)
        first_report = [reporting, report = options.progress](std::uint64_t read, std::uint64_t total) {
            if (*reporting)
                report(read, total);
        };
    auto first_stream = std::make_shared<CMyComPtr<IInStream>>(
        new CSeekableDecodedStream(make_source({first_report, !from_index_}), stream_options));
    stream_maker make = [make_source, stream_options, first_stream]() -> CMyComPtr<IInStream> {
        // Only the opening thread makes the first stream; the others come after it.
        if (*first_stream) {
            CMyComPtr<IInStream> stream = *first_stream;
            *first_stream = nullptr;
            return stream;
        }
        return new CSeekableDecodedStream(make_source({}), stream_options);
    };
    archive_.set_names_code_page(outer.names_code_page());
    if (from_index_ && options.defer_open && loaded->listing->item_count > 1 &&
        loaded->listing->code_page == outer.names_code_page()) {
        listing_ = loaded->listing;
        deferred_open_ = [this, &codecs, make, password, name, tar] {
            return archive_.open_decoded(codecs, make, password, name, tar).status == open_status::opened &&
                   archive_.item_count() == listing_->item_count;
        };
        return inner_status::opened;
    }
    const bool opened =
        archive_.open_decoded(codecs, make, std::move(password), name, tar).status == open_status::opened;
    reads_->finish();
    *reporting = false;
    // The handler may have stopped short of the end: gzip's and zstd's points
    // are completed (from the last one) before other threads share them.
    bool sound = true;
    if (kind == seekable_kind::gzip || kind == seekable_kind::zstd) {
        auto* rest = new CSeekableDecodedStream(make_source({}));
        CMyComPtr<IInStream> holder(rest);
        sound = rest->DecodeToEnd();
    }
    if (!sound || (from_index_ && !opened)) {
        archive_.close();
        // An index that does not serve is built again from the file itself.
        if (from_index_) {
            const std::string password_given = archive_.password();
            return open_through_points(codecs, outer, name,
                                       password_given.empty() ? std::nullopt : std::optional(password_given),
                                       {true, nullptr, options.progress});
        }
        return inner_status::damaged;
    }
    if (opened && !from_index_ && identity)
        (void)save_index(*lasting, *identity, *points_, *reads_, record_listing(archive_));
    return opened ? inner_status::opened : inner_status::not_an_archive;
}

inner_status inner_archive::finish_open()
{
    const std::function<bool()> open = std::move(deferred_open_);
    deferred_open_ = nullptr;
    return open && open() ? inner_status::opened : inner_status::damaged;
}

inner_status inner_archive::open(CCodecs& codecs, archive_file& outer, std::uint32_t index, const std::string& name,
                                  std::optional<std::string> password, const inner_options& options)
{
    if (!password && !outer.password().empty())
        password = outer.password();
    if (options.seek_points && reads_compressed_file(outer) && index == 0)
        return open_through_points(codecs, outer, name, std::move(password), options);
    file_failure_ = file_.create();
    if (file_failure_ != S_OK)
        return inner_status::no_temporary_file;
    file_sink sink(file_);
    const item_status decoded = outer.extract(index, sink, password);
    file_failure_ = sink.failure();
    if (file_failure_ != S_OK)
        return inner_status::no_temporary_file;
    if (decoded == item_status::password_needed)
        return inner_status::password_needed;
    if (decoded == item_status::wrong_password)
        return inner_status::wrong_password;
    if (decoded != item_status::ok)
        return inner_status::damaged;
    archive_.set_names_code_page(outer.names_code_page());
    const bool had_password = password.has_value();
    const open_outcome opened = archive_.open(codecs, file_.reopen_path(), std::move(password), name);
    if (opened.status == open_status::opened)
        return inner_status::opened;
    if (opened.password_asked)
        return had_password ? inner_status::wrong_password : inner_status::password_needed;
    return inner_status::not_an_archive;
}

}  // namespace archive
