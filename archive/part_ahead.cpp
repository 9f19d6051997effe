// Decoding one part of a compressed file on a thread of its own.
#include "archive/part_ahead.h"

#include <exception>

namespace archive {

part_ahead::part_ahead(std::size_t part, decoder decode, std::vector<unsigned char> buffer)
    : part_(part), bytes_(std::move(buffer)), thread_([this, decode = std::move(decode)] {
          bytes_.clear();
          try {
              sound_ = decode(bytes_, stop_);
          } catch (const std::exception&) {
              sound_ = false;  // no memory for the part: the reader decodes it itself
          }
      })
{
}

part_ahead::~part_ahead()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

std::optional<std::vector<unsigned char>> part_ahead::take()
{
    if (thread_.joinable())
        thread_.join();
    if (!sound_)
        return std::nullopt;
    sound_ = false;
    return std::move(bytes_);
}

}  // namespace archive
