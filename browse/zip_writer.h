// A zip written as its entries' bytes come, never seeking back: stored entries
// (media does not shrink, and stored costs nothing), UTF-8 names, the
// modification time as a DOS time (in UTC, so that the same archive gives the
// same zip on any machine) and as an extended timestamp, the CRC-32 and sizes
// in a data descriptor after each entry's bytes, and zip64 fields and end
// records only where a size, an offset or the count needs them.
//
// Whether an entry's offset needs zip64 is decided from the entries alone,
// not from the order they are written in (a solid block gives its items in
// its own order): the offset field is zip64 when the other entries could put
// it at 4 GiB or beyond. So zip_length() tells the exact length in advance
// whenever every size is known.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace browse {

struct zip_entry {
    std::string name;                      // relative, '/' between folders, UTF-8
    std::optional<std::uint64_t> size;     // as the archive records it
    std::optional<std::int64_t> modified;  // seconds since 1970-01-01 UTC
};

// The exact length of the zip of `entries`; nothing when a size is unknown.
std::optional<std::uint64_t> zip_length(const std::vector<zip_entry>& entries);

class zip_writer {
public:
    // Bytes go to `out` in pieces, which answers false once nobody takes them.
    // `entries` outlive the writer; each is written once, in any order.
    zip_writer(const std::vector<zip_entry>& entries, std::function<bool(std::string_view)> out);

    // The local header of entry `at`.
    bool begin(std::size_t at);
    // The entry's bytes.
    bool write(const char* data, std::size_t size);
    // The data descriptor. False, and nothing written, when the bytes were not
    // as many as the entry recorded (`exact`) or more than its fields hold.
    bool end(bool exact);
    // The central directory and the end records, once every entry has ended.
    bool finish();

    // The bytes handed to `out` so far.
    std::uint64_t written() const { return written_; }

private:
    struct ended {
        std::size_t at;
        std::uint64_t offset, size;
        std::uint32_t crc;
    };

    bool put(std::string_view bytes);
    bool flush();

    const std::vector<zip_entry>& entries_;
    const std::function<bool(std::string_view)> out_;
    std::vector<ended> ended_;
    std::string pending_;  // small pieces gathered into one
    std::uint64_t written_ = 0;
    std::optional<std::size_t> current_;
    std::uint64_t current_offset_ = 0, current_size_ = 0;
    std::uint32_t crc_ = 0;
};

}  // namespace browse
