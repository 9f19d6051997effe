// Archives that are items of another archive. Whether an item is one is told by
// the formats' own checks of its first bytes; to be opened it is decoded once
// into a temporary file, which handlers then read with random access (the
// library's handlers of gz, xz, bz2 and the like read their one item only in
// sequence). The one item of a gzip file is read instead from the gzip file
// itself, through access points recorded on its first reading, that of an xz
// file of several blocks through its blocks, and that of a zstd file of several
// frames through its frames: no copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "archive/archive_file.h"
#include "archive/gzip_seek_points.h"
#include "archive/lasting_index.h"
#include "archive/recorded_reads.h"
#include "archive/stored_listing.h"
#include "platform/temporary_file.h"

namespace archive {

// Whether `data`, the first bytes of an item, starts an archive by the check of
// some format of `codecs` (for a format that has no check, a signature of its
// own at its offset; for MBR, which has neither, a sound partition table).
// Programs and object files (ELF, PE and the like), whose sections the library
// can list, count only when `programs_count`.
bool starts_like_archive(const CCodecs& codecs, const unsigned char* data, std::size_t size,
                         bool programs_count = true);

// What the first bytes of an item tell of it.
enum class item_start {
    archive,          // the check of some format accepts them
    other,            // none does, or they cannot be decoded
    password_needed,  // the item is encrypted and no password was given
    wrong_password,   // the item is encrypted and the password given does not decode it
};

// What item `index` of `outer` is; decodes only its first bytes, an encrypted
// item with `password` (by default the archive's own).
item_start look_at_item(const CCodecs& codecs, archive_file& outer, std::uint32_t index, bool programs_count = true,
                        const std::optional<std::string>& password = std::nullopt);

// The item of `level` that a chain of single items goes on through, when it
// is an archive that no program wraps (see starts_like_archive): the only
// item, or among several the one that the handler names its main one (a disk's
// partition beside its unpartitioned space) when none of the others is an
// archive or encrypted and `level` is no program (whose main item may be the
// archive a self-extractor appends).
std::optional<std::uint32_t> single_archive_item(const CCodecs& codecs, archive_file& level);

enum class inner_status {
    opened,
    password_needed,    // the item, or the archive's names, are encrypted and no password was given
    wrong_password,     // the password given does not decode them
    no_temporary_file,  // the temporary file could not be made or written (a full disk, say)
    damaged,            // the item could not be decoded whole
    not_an_archive,     // decoded, but no format accepts it
};

struct inner_options {
    // Whether the one item of a gzip file may be read through seek points
    // (see reads_compressed_file); the caller then keeps the outer archive's
    // file (see keep()) for as long as this inner archive lives.
    bool seek_points = false;
    // Where the seek points of a gzip file that the outer archive opened from
    // its own path are taken from, or kept; none: nowhere.
    const lasting_index_place* lasting = nullptr;
    // Told the bytes of a gzip file read so far and its size, while it is
    // read the first time (when its seek points are recorded).
    read_progress progress;
    // When the lasting index holds the listing (of more than one item, made
    // with the names code page of the outer archive), open() only prepares the
    // handler and finish_open() opens it: the listing comes first.
    bool defer_open = false;
};

// One item of an archive, decoded into a temporary file and opened as an
// archive. The file lives as long as this object.
class inner_archive {
public:
    // Whether open() reads the one item of `outer` through access points into
    // its compressed file rather than from a decoded copy, when the options
    // allow it: a gzip file, an xz file of several blocks or a zstd file of
    // several frames.
    static bool reads_compressed_file(const archive_file& outer);

    // Decodes item `index` of `outer` and opens it; items without a path of
    // their own are named after `name`. An encrypted item is decoded with
    // `password`, and a handler that asks for one gets it; without one, the
    // outer archive's own serves for both. `codecs` outlives this object.
    // See inner_options for `options`.
    inner_status open(CCodecs& codecs, archive_file& outer, std::uint32_t index, const std::string& name,
                      std::optional<std::string> password = std::nullopt, const inner_options& options = {});

    // The opened archive: open again from it for other threads.
    archive_file& archive() { return archive_; }

    // Why the last open() answered no_temporary_file, in the system's words.
    std::string temporary_file_failure() const { return platform::temporary_file_failure(file_failure_); }

    // Whether the archive reads the file of `outer` (see reads_compressed_file).
    bool reads_outer_file() const { return points_ != nullptr; }

    // Whether the seek points came from the lasting index.
    bool from_lasting_index() const { return from_index_; }

    // Whether open() left the handler to finish_open(); the listing of the
    // lasting index is then the archive's.
    bool open_deferred() const { return static_cast<bool>(deferred_open_); }
    const stored_listing& stored() const { return *listing_; }
    // Opens the handler that open() prepared; damaged when it does not open to
    // the listing's count of items. Once only, on any one thread.
    inner_status finish_open();

    // Keeps `level`, whose file this archive reads, for as long as this lives.
    void keep(std::unique_ptr<inner_archive> level) { outer_level_ = std::move(level); }

    // The access points, when the archive reads a compressed file through them.
    std::shared_ptr<const gzip_seek_points> seek_points() const { return points_; }
    // What its handler read while it opened.
    std::shared_ptr<const recorded_reads> reads_of_open() const { return reads_; }

private:
    inner_status open_through_points(CCodecs& codecs, const archive_file& outer, const std::string& name,
                                     std::optional<std::string> password, const inner_options& options);

    std::unique_ptr<inner_archive> outer_level_;  // the level whose file archive_ reads; closed last
    platform::temporary_file file_;
    HRESULT file_failure_ = S_OK;  // of the last create or write of file_
    std::shared_ptr<gzip_seek_points> points_;  // complete once open() succeeded
    std::shared_ptr<recorded_reads> reads_;     // what the handler read while it opened; finished then
    bool from_index_ = false;
    std::shared_ptr<const stored_listing> listing_;  // from the lasting index, when the open was deferred
    std::function<bool()> deferred_open_;
    archive_file archive_;                      // reads file_ or the outer file; closed before them
};

}  // namespace archive
