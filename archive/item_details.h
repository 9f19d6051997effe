// What an archive records of an item besides its path, read once while the
// archive is listed. A field that the format does not record stays unset.
#pragma once

#include <cstdint>
#include <string>

namespace archive {

// What a link item is: a symbolic link names its target; a hard link names
// another item of the archive whose bytes it shares.
enum class link_kind : std::uint8_t { none, symbolic, hard };

struct item_details {
    std::uint64_t size = 0;
    std::uint64_t packed_size = 0;
    std::uint64_t modified = 0;  // 100-nanosecond intervals since 1601-01-01, UTC
    std::uint64_t created = 0;   // as modified
    std::uint64_t accessed = 0;  // as modified
    std::uint32_t attributes = 0;  // Windows attributes; with 0x8000, a Unix mode in the high 16 bits
    std::uint32_t unix_mode = 0;   // where the format records a Unix mode of its own
    std::uint32_t crc = 0;
    std::uint32_t block = 0;  // the solid block that holds the item, where the format has blocks
    bool has_size = false;
    bool has_packed_size = false;
    bool has_modified = false;
    bool has_created = false;
    bool has_accessed = false;
    bool has_attributes = false;
    bool has_unix_mode = false;
    bool has_crc = false;
    bool has_block = false;
    bool encrypted = false;
    bool is_folder = false;
    link_kind link = link_kind::none;
    std::string link_target;  // as the archive records it, for a link
    std::string method;       // the library's text of how the item is packed ("LZMA2:24", "Deflate")
    std::string comment;
};

}  // namespace archive
