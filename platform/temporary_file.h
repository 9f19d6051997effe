// A file without a name in the temporary folder, for bytes that must be read
// with random access but exist nowhere else (an archive that is an item of
// another, decoded once). It has no name from its first moment, so the system
// removes it when its last descriptor closes: at the program's end, whichever
// way it ends, SIGKILL included. Readers open it again by reopen_path(), each
// with a position of its own.
#pragma once

#include "platform/com_types.h"

#include <cstddef>
#include <string>

namespace platform {

class temporary_file {
public:
    temporary_file() = default;
    temporary_file(const temporary_file&) = delete;
    temporary_file& operator=(const temporary_file&) = delete;
    // Closing the last descriptor frees the file's space.
    ~temporary_file() { close(); }

    // Closes any file held, then makes a new empty one in $TMPDIR (else /tmp).
    // S_OK, or the failure, after which nothing is held.
    HRESULT create();

    // Appends all `size` bytes; S_OK or the failure (a full disk, say).
    HRESULT append(const void* data, std::size_t size);

    // A path that opens this file again for reading, while this object holds it.
    std::string reopen_path() const;

    bool is_open() const { return handle_ != -1; }
    void close();

private:
    int handle_ = -1;
};

}  // namespace platform
