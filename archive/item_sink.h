// Where an extracted item's bytes go, and how one extraction ended.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace archive {

// How the extraction of one item ended.
enum class item_status {
    ok,
    unsupported_method,  // the library reported the item's method as unsupported
    data_error,          // damaged data
    crc_error,           // the bytes arrived but their check failed
    unavailable,         // the item's data is not in the archive (a missing volume, say)
    unexpected_end,      // the archive ends before the item's data does
    password_needed,     // the item is encrypted and no password was given
    wrong_password,      // the item is encrypted and could not be decoded with the password given
    unknown_error,       // any other result the library reported for the item
    failed,              // the library's call failed, or never reported the item's result
    aborted,             // the sink asked to stop
    archive_changed,     // the archive's file was changed on disk: its bytes are not what was listed
};

// The console text of a status other than ok: "Unsupported Method", "Data
// Error", "CRC Failed", "Unavailable Data", "Unexpected End", "Password
// Needed", "Wrong Password" or "Unknown Error" for the library's item results,
// "Archive Changed On Disk" for a changed file, empty for the others.
const char* item_status_text(item_status status);

// Receives one item's bytes in order as the library writes them. Called on the
// thread that runs the extraction.
class item_sink {
public:
    virtual ~item_sink() = default;

    // The next bytes of the item; false stops the extraction (status aborted).
    virtual bool write(const char* data, std::size_t size) = 0;

    // Asked between steps of the library's work; false stops the extraction.
    virtual bool wanted() { return true; }
};

// Receives the items of one extraction of several, one after another, in the
// order the archive holds them. Called on the thread that runs the extraction.
class items_sink {
public:
    virtual ~items_sink() = default;

    // The library starts item `index`: where its bytes go, or null to let them
    // go by unkept.
    virtual item_sink* begin_item(std::uint32_t index) = 0;

    // Item `index` has ended (also one that the library only tested and never
    // began).
    virtual void end_item(std::uint32_t index, item_status status) = 0;

    // Asked between steps of the library's work; false stops the extraction.
    virtual bool wanted() = 0;

    // The library asked for the extraction's password: what it decodes from now
    // on depends on it.
    virtual void password_asked() {}
};

// Collects the item in a byte string.
class string_sink : public item_sink {
public:
    explicit string_sink(std::string& target) : target_(target) {}
    bool write(const char* data, std::size_t size) override;

private:
    std::string& target_;
};

}  // namespace archive
