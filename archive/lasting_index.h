// The lasting index of a compressed tarball: its access points, what the tar
// handler read while it opened it and the listing it gave, kept in the cache
// folder from one run to the next, so that a second start opens it without
// decoding it. An index is keyed by the archive's identity (size, modification
// time, checksums of its first and last 64 KiB) and carries a format version
// and a checksum of its own: one that is damaged, of another version or of
// another archive is ignored, and rebuilt. The folder is kept under a bound, least recently used
// indexes removed first.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "archive/gzip_seek_points.h"
#include "archive/recorded_reads.h"
#include "archive/stored_listing.h"

namespace archive {

struct archive_identity {
    std::uint64_t size = 0;
    std::int64_t modified_ns = 0;
    std::uint32_t first_check = 0;  // CRC-32 of the first 64 KiB
    std::uint32_t last_check = 0;   // CRC-32 of the last 64 KiB
    bool operator==(const archive_identity&) const = default;
};

// The identity of the file at `path`; nothing when it cannot be read.
std::optional<archive_identity> identify_archive(const std::string& path);

struct lasting_index_place {
    std::string folder;                      // ends in the separator
    std::uint64_t bound = 1024ull << 20;     // bytes the folder's indexes may take together
};

struct index_contents {
    std::shared_ptr<gzip_seek_points> points;  // complete
    std::shared_ptr<recorded_reads> reads;     // finished
    std::shared_ptr<const stored_listing> listing;
};

// The index's file name for an archive of `identity`.
std::string index_file_name(const archive_identity& identity);

// The bytes of an index, and the index those bytes hold for `identity`
// (nothing when they are not a sound index of it).
std::string encode_index(const archive_identity& identity, const gzip_seek_points& points,
                         const recorded_reads& reads, const stored_listing& listing);
std::optional<index_contents> decode_index(const std::string& bytes, const archive_identity& identity);

// The index of `identity` in `place`, marked as used; nothing when there is no
// sound one.
std::optional<index_contents> load_index(const lasting_index_place& place, const archive_identity& identity);

// Writes the index whole (or not at all), then removes the least recently used
// other indexes while the folder's indexes take more than the bound. An index
// larger than the bound by itself is not kept. False when it was not written.
bool save_index(const lasting_index_place& place, const archive_identity& identity, const gzip_seek_points& points,
                const recorded_reads& reads, const stored_listing& listing);

}  // namespace archive
