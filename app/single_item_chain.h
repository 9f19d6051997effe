// The chain of single items: an archive whose one item is an archive (a
// compressed tarball, an rpm's gzipped cpio, a .tar.gz zipped alone, a disk
// image's raw disk and that disk's one partition) is served as that inner
// archive, and again while the inner archive's one item is an archive too, a
// few levels at most. The console names each step.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/console.h"
#include "archive/archive_file.h"
#include "archive/inner_archive.h"

namespace app {

// How many inner archives the chain decodes at most.
inline constexpr int single_item_levels = 4;

// Follows the chain from `served`, an opened archive: each level is decoded from
// the one before with the password `served` was opened with; a level that cannot
// be opened ends the chain at the level before. When the chain leads anywhere,
// `served` is opened again on its innermost archive, which `innermost` then
// holds (with its temporary file) for as long as `served` reads it; the
// temporary files of the levels on the way are gone by then, but for the one
// of a gzip file whose item the next level reads through seek points.
// The seek points of a gzip file served itself are kept in `lasting` when it is
// given, and taken from there on later starts; when that index holds the
// listing, `innermost` is left to finish its opening (open_deferred()), and
// `served` to take it over then. `report`, when given, hears how far the
// reading of each level has come, as the console line does.
using reading_report = std::function<void(const std::string& name, std::uint64_t read, std::uint64_t total)>;

void open_single_item_chain(console& out, CCodecs& codecs, archive::archive_file& served,
                            std::unique_ptr<archive::inner_archive>& innermost,
                            const archive::lasting_index_place* lasting = nullptr, const reading_report& report = {});

}  // namespace app
