// Fixed-size little-endian fields and length-prefixed strings, written into and
// read back from a byte string (the lasting index's format). The reader checks
// every length against what is left, so damaged bytes fail instead of reading
// out of bounds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace archive {

class field_writer {
public:
    void put(std::uint64_t value)
    {
        for (int i = 0; i < 8; ++i)
            bytes_.push_back(static_cast<char>(value >> (8 * i)));
    }
    void put_string(const std::string& text)
    {
        put(text.size());
        bytes_ += text;
    }
    std::string& bytes() { return bytes_; }

private:
    std::string bytes_;
};

class field_reader {
public:
    // `bytes` (the first `size` of them, when given) outlives the reader.
    explicit field_reader(const std::string& bytes) : bytes_(bytes) {}
    field_reader(const std::string& bytes, std::size_t size) : bytes_(std::string_view(bytes).substr(0, size)) {}
    explicit field_reader(std::string&&) = delete;

    // False, with `value` left alone, when fewer than 8 bytes are left.
    bool get(std::uint64_t& value)
    {
        if (bytes_.size() - at_ < 8)
            return false;
        value = 0;
        for (int i = 0; i < 8; ++i)
            value |= std::uint64_t(static_cast<unsigned char>(bytes_[at_ + i])) << (8 * i);
        at_ += 8;
        return true;
    }
    bool get_string(std::string& text)
    {
        std::uint64_t size = 0;
        if (!get(size) || size > bytes_.size() - at_)
            return false;
        text.assign(bytes_, at_, size);
        at_ += size;
        return true;
    }
    bool at_end() const { return at_ == bytes_.size(); }

private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

}  // namespace archive
