// decoded_source: the decoded bytes of a compressed file, decoded forward from
// its start or from one of its access points. It is what a seekable stream over
// a compressed file (seekable_decoded_stream.h) needs of a compression format:
// gzip's access points are one, block or frame boundaries would be others.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace archive {

// Told, after each read of a compressed file, how many of its bytes were read
// so far (or how far into it the reading has come), and its size.
using read_progress = std::function<void(std::uint64_t read, std::uint64_t total)>;

enum class decode_status {
    ok,       // bytes were decoded, or the end was reached (0 bytes)
    damaged,  // the compressed bytes are damaged or cut short, or cannot be read
};

class decoded_source {
public:
    virtual ~decoded_source() = default;

    // The offset in the decoded bytes of the last access point at or before
    // `offset` (0, the start, is always one).
    virtual std::uint64_t point_before(std::uint64_t offset) const = 0;

    // Starts decoding again at the access point point_before(`offset`).
    virtual decode_status restart_before(std::uint64_t offset) = 0;

    // Decodes up to `size` bytes at position() into `data` and stores the count;
    // fewer only at the end, 0 once there.
    virtual decode_status decode(unsigned char* data, std::size_t size, std::size_t& decoded) = 0;

    // The offset in the decoded bytes of the next byte decode() gives.
    virtual std::uint64_t position() const = 0;

    // The size of the decoded bytes, once an end has been reached.
    virtual std::optional<std::uint64_t> size() const = 0;
};

}  // namespace archive
