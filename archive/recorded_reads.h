// recorded_reads: the bytes that a handler read of decoded bytes while it
// opened them (a tar handler reads each item's header, and seeks over its
// data), kept deflated in memory, so that the same handler opening the same
// bytes again - on another thread, or in a later run from the lasting index -
// is served them without decoding anything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace archive {

class recorded_reads {
public:
    // Recording: the `size` bytes at `offset` of the decoded bytes were read.
    // Reads come in order of offset (a handler that opens reads forward); one
    // before the last recorded byte is ignored.
    void add(std::uint64_t offset, const unsigned char* data, std::size_t size);

    // Ends the recording. From then on the record does not change, and streams
    // on several threads may read it.
    void finish();
    bool finished() const { return finished_; }

    // One reader's last inflated piece, so that reads in order inflate each once.
    struct cursor {
        std::size_t chunk = ~std::size_t(0);
        std::string bytes;
    };

    // Copies the `size` bytes at `offset` into `data` when all of them were
    // recorded; false (nothing copied) otherwise.
    bool copy(std::uint64_t offset, std::size_t size, unsigned char* data, cursor& at) const;

    // How many bytes were recorded, and what they take deflated.
    std::uint64_t recorded_size() const { return stored_; }
    std::uint64_t kept_size() const;

    // Written into and read from the lasting index: the regions and the
    // deflated pieces as they are. from_bytes() is false on bytes that are not
    // a finished record; the object is then empty.
    std::string to_bytes() const;
    bool from_bytes(const std::string& bytes);

private:
    struct region {
        std::uint64_t offset = 0;  // in the decoded bytes
        std::uint64_t length = 0;
        std::uint64_t stored = 0;  // where its bytes start in the concatenation of all regions
    };
    struct chunk {
        std::uint64_t stored = 0;  // where its bytes start in that concatenation
        std::uint32_t size = 0;    // inflated
        std::string deflated;
    };
    void seal_pending();

    std::vector<region> regions_;
    std::vector<chunk> chunks_;
    std::string pending_;  // recorded bytes not yet deflated into a chunk
    std::uint64_t stored_ = 0;
    bool finished_ = false;
};

}  // namespace archive
