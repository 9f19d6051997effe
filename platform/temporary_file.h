// A file in the temporary folder, for bytes that must be read with random
// access but exist nowhere else (an archive that is an item of another, decoded
// once). The system removes it when its last handle closes: at the program's
// end, whichever way it ends, a kill included. On Linux it has no name from its
// first moment; on Windows it is made to be deleted on close. Readers open it
// again by reopen_path(), each with a position of its own.
#pragma once

#include "platform/com_types.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class temporary_file {
public:
    temporary_file() = default;
    temporary_file(const temporary_file&) = delete;
    temporary_file& operator=(const temporary_file&) = delete;
    // Closing the last descriptor frees the file's space.
    ~temporary_file() { close(); }

    // Closes any file held, then makes a new empty one in $TMPDIR (else /tmp),
    // or the user's temporary folder on Windows.
    // S_OK, or the failure, after which nothing is held.
    HRESULT create();

    // Appends all `size` bytes; S_OK or the failure (a full disk, say).
    HRESULT append(const void* data, std::size_t size);

    // A path that opens this file again for reading, while this object holds it.
    std::string reopen_path() const;

    bool is_open() const { return handle_ != -1; }
    void close();

private:
    // The descriptor on Linux, the HANDLE on Windows; -1 when closed.
    std::intptr_t handle_ = -1;
    std::string path_;  // the file's name where it has one (Windows)
};

// What went wrong with a temporary file, in the system's words: "no space
// left in TMPDIR" (TEMP on Windows) for a full disk, else the system's text of
// `failure`, with the folder named.
std::string temporary_file_failure(HRESULT failure);

}  // namespace platform
