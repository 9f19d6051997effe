// A file opened for reading, by its wide name. Failures come back as HRESULTs
// made from the system's error code.
#pragma once

#include "platform/com_types.h"

#include <cstdint>

namespace platform {

// Origins of seek: from the start, from the current position, from the end.
inline constexpr std::uint32_t seek_from_start = 0;
inline constexpr std::uint32_t seek_from_current = 1;
inline constexpr std::uint32_t seek_from_end = 2;

class input_file {
public:
    input_file() = default;
    input_file(const input_file&) = delete;
    input_file& operator=(const input_file&) = delete;
    ~input_file() { (void)close(); }

    // Closes any file held, then opens `name` for reading. S_OK, or the failure
    // of the close or the open, after which the object is closed.
    HRESULT open(const wchar_t* name);

    // Closes the file if one is held.
    HRESULT close();

    // Reads at most `size` bytes (at most 4 MiB per call) and stores the count read.
    HRESULT read(void* data, std::uint32_t size, std::uint32_t& processed);
    HRESULT seek(std::int64_t distance, std::uint32_t origin, std::uint64_t& new_position);
    HRESULT size(std::uint64_t& size) const;

private:
    // The descriptor on Linux, the HANDLE on Windows; -1 when closed.
    std::intptr_t handle_ = -1;
};

}  // namespace platform
