// The records of a streamed zip, and its length worked out in advance.
#include "browse/zip_writer.h"

#include <limits>

#include <zlib.h>

namespace browse {
namespace {

constexpr std::uint64_t max32 = 0xFFFFFFFF;
constexpr std::uint16_t flags = 0x0008 | 0x0800;  // sizes in a data descriptor; UTF-8 name
constexpr std::size_t gather_limit = 64 * 1024;

bool local_zip64(const zip_entry& entry) { return !entry.size || *entry.size >= max32; }

bool has_stamp(const zip_entry& entry)
{
    return entry.modified && *entry.modified >= std::numeric_limits<std::int32_t>::min() &&
           *entry.modified <= std::numeric_limits<std::int32_t>::max();
}

std::uint64_t stamp_length(const zip_entry& entry) { return has_stamp(entry) ? 9 : 0; }

std::uint64_t local_record(const zip_entry& entry, std::uint64_t size)
{
    const bool zip64 = local_zip64(entry);
    return 30 + entry.name.size() + stamp_length(entry) + (zip64 ? 20 : 0) + size + (zip64 ? 24 : 16);
}

// The fields of the central record's zip64 extra: sizes, then the offset.
unsigned zip64_fields(std::uint64_t size, bool offset_zip64) { return (size >= max32 ? 2 : 0) + (offset_zip64 ? 1 : 0); }

std::uint64_t central_record(const zip_entry& entry, std::uint64_t size, bool offset_zip64)
{
    const unsigned fields = zip64_fields(size, offset_zip64);
    return 46 + entry.name.size() + stamp_length(entry) + (fields ? 4 + 8 * fields : 0);
}

bool end_zip64(std::uint64_t count, std::uint64_t central_size, std::uint64_t central_offset)
{
    return count >= 0xFFFF || central_size >= max32 || central_offset >= max32;
}

void put16(std::string& out, std::uint64_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& out, std::uint64_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, (value >> 16) & 0xFFFF);
}

void put64(std::string& out, std::uint64_t value)
{
    put32(out, value & max32);
    put32(out, value >> 32);
}

// The DOS time and date of `seconds` in UTC, held to 1980..2107.
std::pair<std::uint16_t, std::uint16_t> dos_time(const std::optional<std::int64_t>& seconds)
{
    constexpr std::int64_t first = 315532800;   // 1980-01-01
    constexpr std::int64_t last = 4354819198;   // 2107-12-31 23:59:58
    std::int64_t t = seconds ? *seconds : first;
    t = t < first ? first : t > last ? last : t;
    std::int64_t days = t / 86400;
    const std::int64_t in_day = t % 86400;
    // Civil date from days since 1970 (proleptic Gregorian).
    days += 719468;
    const std::int64_t era = days / 146097;
    const std::int64_t of_era = days - era * 146097;
    const std::int64_t year_of_era = (of_era - of_era / 1460 + of_era / 36524 - of_era / 146096) / 365;
    const std::int64_t day_of_year = of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const std::int64_t shifted_month = (5 * day_of_year + 2) / 153;
    const std::int64_t day = day_of_year - (153 * shifted_month + 2) / 5 + 1;
    const std::int64_t month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
    const std::int64_t year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
    const auto time = static_cast<std::uint16_t>(((in_day / 3600) << 11) | (((in_day / 60) % 60) << 5) | ((in_day % 60) / 2));
    const auto date = static_cast<std::uint16_t>(((year - 1980) << 9) | (month << 5) | day);
    return {time, date};
}

void put_stamp(std::string& out, const zip_entry& entry)
{
    if (!has_stamp(entry))
        return;
    put16(out, 0x5455);
    put16(out, 5);
    out += '\x01';  // the modification time alone
    put32(out, static_cast<std::uint32_t>(static_cast<std::int32_t>(*entry.modified)));
}

}  // namespace

std::optional<std::uint64_t> zip_length(const std::vector<zip_entry>& entries)
{
    std::uint64_t local = 0;
    for (const zip_entry& entry : entries) {
        if (!entry.size)
            return std::nullopt;
        local += local_record(entry, *entry.size);
    }
    std::uint64_t central = 0;
    for (const zip_entry& entry : entries)
        central += central_record(entry, *entry.size, local - local_record(entry, *entry.size) >= max32);
    return local + central + 22 + (end_zip64(entries.size(), central, local) ? 56 + 20 : 0);
}

zip_writer::zip_writer(const std::vector<zip_entry>& entries, std::function<bool(std::string_view)> out)
    : entries_(entries), out_(std::move(out))
{
    ended_.reserve(entries.size());
}

bool zip_writer::put(std::string_view bytes)
{
    if (pending_.size() + bytes.size() <= gather_limit) {
        pending_.append(bytes);
        return true;
    }
    if (!flush())
        return false;
    if (bytes.size() <= gather_limit) {
        pending_.append(bytes);
        return true;
    }
    written_ += bytes.size();
    return out_(bytes);
}

bool zip_writer::flush()
{
    if (pending_.empty())
        return true;
    written_ += pending_.size();
    const bool taken = out_(pending_);
    pending_.clear();
    return taken;
}

bool zip_writer::begin(std::size_t at)
{
    const zip_entry& entry = entries_[at];
    const bool zip64 = local_zip64(entry);
    current_ = at;
    current_offset_ = written_ + pending_.size();
    current_size_ = 0;
    crc_ = static_cast<std::uint32_t>(crc32(0, nullptr, 0));
    const auto [time, date] = dos_time(entry.modified);
    std::string head;
    put32(head, 0x04034b50);
    put16(head, zip64 ? 45 : 20);
    put16(head, flags);
    put16(head, 0);  // stored
    put16(head, time);
    put16(head, date);
    put32(head, 0);  // the CRC and sizes follow the bytes
    put32(head, zip64 ? max32 : 0);
    put32(head, zip64 ? max32 : 0);
    put16(head, entry.name.size());
    put16(head, stamp_length(entry) + (zip64 ? 20 : 0));
    head += entry.name;
    put_stamp(head, entry);
    if (zip64) {
        put16(head, 0x0001);
        put16(head, 16);
        put64(head, 0);
        put64(head, 0);
    }
    return put(head);
}

bool zip_writer::write(const char* data, std::size_t size)
{
    current_size_ += size;
    // zlib takes at most 4 GiB at a time.
    for (std::size_t done = 0; done < size;) {
        const std::size_t piece = std::min<std::size_t>(size - done, std::size_t{1} << 30);
        crc_ = static_cast<std::uint32_t>(crc32(crc_, reinterpret_cast<const Bytef*>(data + done), static_cast<uInt>(piece)));
        done += piece;
    }
    return put(std::string_view(data, size));
}

bool zip_writer::end(bool exact)
{
    const zip_entry& entry = entries_[*current_];
    const bool zip64 = local_zip64(entry);
    if ((exact && entry.size && current_size_ != *entry.size) || (!zip64 && current_size_ >= max32))
        return false;
    std::string tail;
    put32(tail, 0x08074b50);
    put32(tail, crc_);
    if (zip64) {
        put64(tail, current_size_);
        put64(tail, current_size_);
    } else {
        put32(tail, current_size_);
        put32(tail, current_size_);
    }
    ended_.push_back({*current_, current_offset_, current_size_, crc_});
    current_.reset();
    return put(tail);
}

bool zip_writer::finish()
{
    const std::uint64_t local = written_ + pending_.size();
    const std::uint64_t central_offset = local;
    for (const ended& e : ended_) {
        const zip_entry& entry = entries_[e.at];
        const bool offset_zip64 = local - local_record(entry, e.size) >= max32;
        const unsigned fields = zip64_fields(e.size, offset_zip64);
        const auto [time, date] = dos_time(entry.modified);
        std::string record;
        put32(record, 0x02014b50);
        put16(record, 45);  // made by: version 4.5, MS-DOS attributes
        put16(record, fields || local_zip64(entry) ? 45 : 20);
        put16(record, flags);
        put16(record, 0);
        put16(record, time);
        put16(record, date);
        put32(record, e.crc);
        put32(record, e.size >= max32 ? max32 : e.size);
        put32(record, e.size >= max32 ? max32 : e.size);
        put16(record, entry.name.size());
        put16(record, stamp_length(entry) + (fields ? 4 + 8 * fields : 0));
        put16(record, 0);  // comment
        put16(record, 0);  // disk
        put16(record, 0);  // internal attributes
        put32(record, 0);  // external attributes
        put32(record, offset_zip64 ? max32 : e.offset);
        record += entry.name;
        put_stamp(record, entry);
        if (fields) {
            put16(record, 0x0001);
            put16(record, 8 * fields);
            if (e.size >= max32) {
                put64(record, e.size);
                put64(record, e.size);
            }
            if (offset_zip64)
                put64(record, e.offset);
        }
        if (!put(record))
            return false;
    }
    const std::uint64_t central_end = written_ + pending_.size();
    const std::uint64_t central_size = central_end - central_offset;
    const std::uint64_t count = ended_.size();
    std::string end;
    if (end_zip64(count, central_size, central_offset)) {
        put32(end, 0x06064b50);
        put64(end, 44);
        put16(end, 45);
        put16(end, 45);
        put32(end, 0);
        put32(end, 0);
        put64(end, count);
        put64(end, count);
        put64(end, central_size);
        put64(end, central_offset);
        put32(end, 0x07064b50);
        put32(end, 0);
        put64(end, central_end);
        put32(end, 1);
    }
    put32(end, 0x06054b50);
    put16(end, 0);
    put16(end, 0);
    put16(end, count >= 0xFFFF ? 0xFFFF : count);
    put16(end, count >= 0xFFFF ? 0xFFFF : count);
    put32(end, central_size >= max32 ? max32 : central_size);
    put32(end, central_offset >= max32 ? max32 : central_offset);
    put16(end, 0);
    return put(end) && flush();
}

}  // namespace browse
