// One archive file opened by one handler of the plug-in library on its own
// input stream: opening it, listing its items and extracting one item. A
// handler is not safe to share between threads: each thread that extracts
// opens its own archive_file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/codecs.h"
#include "archive/item_sink.h"
#include "archive/open_archive.h"
#include "platform/file_watch.h"

namespace archive {

enum class open_status {
    opened,
    cannot_open_file,  // the file itself cannot be opened for reading
    not_an_archive,    // no format accepts it (or its handler failed to open it)
};

// Makes a new stream over the same bytes for each handler that reads them.
using stream_maker = std::function<CMyComPtr<IInStream>()>;

struct open_outcome {
    open_status status;
    bool password_asked = false;               // a handler asked for a password
    std::vector<std::string> missing_volumes;  // names of volumes of the archive that are not there
};

class archive_file {
public:
    archive_file() = default;
    archive_file(const archive_file&) = delete;
    archive_file& operator=(const archive_file&) = delete;

    // Opens the file at `path` (UTF-8, any bytes) with the first format of
    // `codecs` that accepts it. `codecs` must outlive this object. A handler
    // that asks for a password gets `password`, or is refused when there is
    // none. The other volumes of an archive that spans several files are looked
    // for beside it; a path that ends in ".001" opens with ".002", ".003"...
    // as one. An item without a path is named after `name`, or after `path`
    // when it is empty.
    open_outcome open(CCodecs& codecs, const std::string& path, std::optional<std::string> password = std::nullopt,
                      const std::string& name = {});

    // Opens the bytes of the streams that `make` makes (decoded bytes of a
    // compressed file, say), as open() opens a file, or with the format of
    // `format_index` alone when it is not -1. `make` is called once for each
    // handler, on the thread that opens it.
    open_outcome open_decoded(CCodecs& codecs, stream_maker make, std::optional<std::string> password,
                              const std::string& name, int format_index = -1);

    // Opens the file that `opened` holds again, with the same format and
    // password: another handler for another thread.
    open_outcome open_again(CCodecs& codecs, const archive_file& opened);

    // Takes over the archive that `other` holds open (its handler, its stream
    // and how it was opened), leaving `other` closed: open_again without
    // reading every header again.
    void take_over(archive_file& other);

    // The code page of item names that are not UTF-8 (0: detect one), for
    // listings from now on; archives opened again or from inside this one keep it.
    void set_names_code_page(std::uint32_t code_page) { names_code_page_ = code_page; }
    std::uint32_t names_code_page() const { return names_code_page_; }

    // Watches the file that the archive's bytes come from: once it has changed
    // on disk, no extraction starts, and an item that ends after the change
    // ends archive_changed rather than ok (its bytes may be the new file's).
    // Archives opened again from this one share the watch; take_over keeps it.
    void set_watch(std::shared_ptr<const platform::file_watch> watch) { watch_ = std::move(watch); }

    // The password the archive was opened with; empty when none.
    const std::string& password() const { return password_; }

    bool is_open() const { return handler_; }

    // Closes the archive (and its stream) if one is open.
    void close();

    // The path of the file that was opened; empty for decoded bytes.
    const std::string& path() const { return path_; }

    // The name of the format that opened the archive; empty when none did.
    std::wstring format_name() const;

    // Calls `visit` for every item; an item without a path is named after the
    // archive file (NameForPathlessItem). Names that are not UTF-8 are decoded
    // (see item_names.h); tells how. Nothing when no archive is open.
    names_outcome list_items(const item_visitor& visit) const;

    // How many items the archive holds; 0 when none is open.
    std::uint32_t item_count() const;

    // The item that the archive names its main one, when it names one among
    // several: the partition of a disk beside its unpartitioned space, say.
    std::optional<std::uint32_t> main_item() const;

    // What the archive records of every item, by index; empty when no archive
    // is open. The targets of symbolic links stored as their data are read too.
    std::vector<item_details> read_details();

    // Extracts item `index` into `sink`, an encrypted one decoded with
    // `password` (by default the archive's own); failed when no archive is open.
    item_status extract(std::uint32_t index, item_sink& sink,
                        const std::optional<std::string>& password = std::nullopt);

    // Extracts the items in one pass of the library, in the order the archive
    // holds them (a solid block is decoded once for all of its items that are
    // asked for), each into the sink that `sink` gives for it. Tells how the
    // extraction as a whole ended; each item's own result goes to `sink`.
    // Encrypted items are decoded with `password` (empty: none), by default the
    // archive's own.
    item_status extract_items(const std::vector<std::uint32_t>& indices, items_sink& sink,
                              const std::optional<std::string>& password = std::nullopt);

    // The item's size as the archive records it, when it records one.
    bool item_size(std::uint32_t index, std::uint64_t& size) const;

    // The item's modification time as the archive records it (100-nanosecond
    // intervals since 1601-01-01, UTC), when it records one.
    bool item_modified(std::uint32_t index, std::uint64_t& filetime) const;

    // Whether the archive records item `index` as a folder.
    bool item_is_folder(std::uint32_t index) const;

private:
    open_outcome open_stream(CCodecs& codecs, const std::string& path, int format_index,
                             std::optional<std::string> password);

    std::string path_;
    stream_maker make_stream_;  // instead of path_, for decoded bytes
    std::string name_;  // what an item without a path is named after
    std::string password_;
    std::uint32_t names_code_page_ = 0;
    int format_index_ = -1;
    const CArcInfoEx* format_ = nullptr;
    std::shared_ptr<const platform::file_watch> watch_;
    CMyComPtr<IInStream> stream_;
    CMyComPtr<IInArchive> handler_;  // released before the stream
};

}  // namespace archive
