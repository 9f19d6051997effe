// Extracting one item of the program's archive into memory.
#pragma once

#include "platform/com_types.h"

#include <cstdint>
#include <string>

struct extraction_outcome {
    HRESULT result;   // what the handler's Extract returned
    int error_count;  // items whose operation result was not success
    bool succeeded() const { return result == S_OK && error_count == 0; }
};

// Appends the bytes of item `item_index` of the archive that open_and_list opened
// to `target`, as the handler writes them; bytes written stay there whatever the
// outcome. A damaged, unsupported or wrongly encrypted item prints "     " and
// "Unsupported Method", "Data Error", "CRC Failed" or "Unknown Error" (no line
// break) and counts in `error_count`. E_FAIL when no archive is open.
extraction_outcome extract_item(std::uint32_t item_index, std::string& target);
