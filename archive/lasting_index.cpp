// The index's file format, its key, and the bound of the folder.
#include "archive/lasting_index.h"

#include <algorithm>
#include <cstdio>

#include <zlib.h>

#include "archive/byte_fields.h"
#include "archive/string_convert.h"
#include "platform/cache_folder.h"
#include "platform/file_identity.h"
#include "platform/input_file.h"

namespace archive {

namespace {

constexpr char index_magic[] = "VORSEL-SEEK-INDEX";
constexpr std::uint64_t index_version = 2;  // 2: with the listing
constexpr std::size_t checked_end_size = 65536;
constexpr char index_suffix[] = ".seekindex";

std::uint32_t check_of(const unsigned char* data, std::size_t size)
{
    return static_cast<std::uint32_t>(crc32(0, data, static_cast<uInt>(size)));
}

std::string deflated(const std::vector<unsigned char>& bytes)
{
    uLongf length = compressBound(static_cast<uLong>(bytes.size()));
    std::string out(length, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &length, bytes.data(), static_cast<uLong>(bytes.size()), 1) !=
        Z_OK)
        return {};
    out.resize(length);
    return out;
}


void put_identity(field_writer& out, const archive_identity& identity)
{
    out.put(identity.size);
    out.put(static_cast<std::uint64_t>(identity.modified_ns));
    out.put(identity.first_check);
    out.put(identity.last_check);
}

}  // namespace

std::optional<archive_identity> identify_archive(const std::string& path)
{
    const std::optional<platform::file_identity> file = platform::identify_file(path);
    platform::input_file input;
    if (!file || input.open(MultiByteToUnicodeString(AString(path.c_str()))) != S_OK)
        return std::nullopt;
    archive_identity identity;
    identity.size = file->size;
    identity.modified_ns = file->modified_ns;
    std::vector<unsigned char> bytes(checked_end_size);
    for (const bool last : {false, true}) {
        const std::uint64_t start = last && file->size > checked_end_size ? file->size - checked_end_size : 0;
        std::uint64_t at = 0;
        std::uint32_t read = 0;
        if (input.seek(static_cast<std::int64_t>(start), platform::seek_from_start, at) != S_OK ||
            input.read(bytes.data(), static_cast<std::uint32_t>(bytes.size()), read) != S_OK)
            return std::nullopt;
        (last ? identity.last_check : identity.first_check) = check_of(bytes.data(), read);
    }
    return identity;
}

std::string index_file_name(const archive_identity& identity)
{
    char name[96];
    std::snprintf(name, sizeof name, "%016llx-%016llx-%08x%08x%s", static_cast<unsigned long long>(identity.size),
                  static_cast<unsigned long long>(identity.modified_ns), identity.first_check, identity.last_check,
                  index_suffix);
    return name;
}

std::string encode_index(const archive_identity& identity, const gzip_seek_points& points,
                         const recorded_reads& reads, const stored_listing& listing)
{
    field_writer out;
    out.put_string(index_magic);
    out.put(index_version);
    put_identity(out, identity);
    out.put(points.spacing);
    out.put(points.decoded_size);
    out.put(points.points.size());
    for (const gzip_access_point& point : points.points) {
        out.put(point.output);
        out.put(point.input);
        out.put(static_cast<std::uint64_t>(point.bits));
        if (point.window.empty() && !point.packed_window.empty()) {
            out.put(deflate_window_size);  // at most: the size is found when it is inflated
            out.put_string(point.packed_window);
        } else {
            out.put(point.window.size());
            out.put_string(deflated(point.window));
        }
    }
    out.put_string(reads.to_bytes());
    out.put_string(listing_to_bytes(listing));
    out.put(check_of(reinterpret_cast<const unsigned char*>(out.bytes().data()), out.bytes().size()));
    return std::move(out.bytes());
}

std::optional<index_contents> decode_index(const std::string& bytes, const archive_identity& identity)
{
    if (bytes.size() < 8)
        return std::nullopt;
    const std::size_t body_size = bytes.size() - 8;
    const std::string check_bytes = bytes.substr(body_size);
    field_reader check_field(check_bytes);
    std::uint64_t check = 0;
    if (!check_field.get(check) || check != check_of(reinterpret_cast<const unsigned char*>(bytes.data()), body_size))
        return std::nullopt;
    field_reader in(bytes, body_size);
    std::string magic;
    std::uint64_t version = 0;
    std::uint64_t fields[4] = {};
    if (!in.get_string(magic) || magic != index_magic || !in.get(version) || version != index_version)
        return std::nullopt;
    for (std::uint64_t& field : fields)
        if (!in.get(field))
            return std::nullopt;
    if (fields[0] != identity.size || fields[1] != static_cast<std::uint64_t>(identity.modified_ns) ||
        fields[2] != identity.first_check || fields[3] != identity.last_check)
        return std::nullopt;
    index_contents contents{std::make_shared<gzip_seek_points>(), std::make_shared<recorded_reads>(), nullptr};
    gzip_seek_points& points = *contents.points;
    std::uint64_t count = 0;
    if (!in.get(points.spacing) || !in.get(points.decoded_size) || !in.get(count) || count > body_size / 40)
        return std::nullopt;
    for (std::uint64_t i = 0; i < count; ++i) {
        gzip_access_point point;
        std::uint64_t bits = 0, window_size = 0;
        if (!in.get(point.output) || !in.get(point.input) || !in.get(bits) || !in.get(window_size) ||
            !in.get_string(point.packed_window) || bits > 7 || window_size > deflate_window_size ||
            point.packed_window.empty() || point.input > identity.size || point.output > points.decoded_size ||
            (!points.points.empty() && point.output <= points.points.back().output))
            return std::nullopt;
        point.bits = static_cast<int>(bits);
        points.points.push_back(std::move(point));
    }
    std::string reads, listing_bytes;
    if (!in.get_string(reads) || !in.get_string(listing_bytes) || !in.at_end() || !contents.reads->from_bytes(reads))
        return std::nullopt;
    std::optional<stored_listing> listing = listing_from_bytes(listing_bytes);
    if (!listing)
        return std::nullopt;
    contents.listing = std::make_shared<const stored_listing>(std::move(*listing));
    points.complete = true;
    return contents;
}

std::optional<index_contents> load_index(const lasting_index_place& place, const archive_identity& identity)
{
    const std::string path = place.folder + index_file_name(identity);
    const std::optional<std::string> bytes = platform::read_cached_file(path);
    if (!bytes)
        return std::nullopt;
    std::optional<index_contents> contents = decode_index(*bytes, identity);
    if (contents)
        platform::mark_used(path);
    return contents;
}

bool save_index(const lasting_index_place& place, const archive_identity& identity, const gzip_seek_points& points,
                const recorded_reads& reads, const stored_listing& listing)
{
    const std::string bytes = encode_index(identity, points, reads, listing);
    const std::string name = index_file_name(identity);
    if (bytes.size() > place.bound || !platform::replace_cached_file(place.folder, name, bytes))
        return false;
    std::vector<platform::cached_file> files = platform::list_cached_files(place.folder);
    std::erase_if(files, [](const platform::cached_file& file) { return !file.name.ends_with(index_suffix); });
    std::sort(files.begin(), files.end(), [](const platform::cached_file& a, const platform::cached_file& b) {
        return a.used_ns > b.used_ns;
    });
    std::uint64_t total = 0;
    for (const platform::cached_file& file : files) {
        total += file.size;
        if (total > place.bound && file.name != name && platform::remove_cached_file(place.folder + file.name))
            total -= file.size;
    }
    return true;
}

}  // namespace archive
