// Decoding one xz block on a thread of its own.
#include "archive/xz_block_ahead.h"

#include <exception>

namespace archive {

xz_block_ahead::xz_block_ahead(std::string path, std::shared_ptr<const xz_blocks> blocks, std::size_t block)
    : block_(block), thread_([this, path = std::move(path), blocks = std::move(blocks)] {
          try {
              xz_reader reader(path, blocks);
              sound_ = reader.decode_block(block_, bytes_, stop_) == decode_status::ok;
          } catch (const std::exception&) {
              sound_ = false;  // no memory for the block: the reader decodes it itself
          }
      })
{
}

xz_block_ahead::~xz_block_ahead()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

std::optional<std::vector<unsigned char>> xz_block_ahead::take()
{
    if (thread_.joinable())
        thread_.join();
    if (!sound_)
        return std::nullopt;
    sound_ = false;
    return std::move(bytes_);
}

}  // namespace archive
