// The archive fuzz targets' shared body (archive_family.h). The listing visits
// each item once, in index order, and the details read for it show the size
// that extracting it would promise. What one input may extract is capped at
// 1 MiB of decoded bytes, so that every input is quick and a small bomb does
// not stall the run; past the cap the sinks refuse and the extraction is
// aborted.
#include "archive_family.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "archive/archive_file.h"
#include "archive/codecs.h"

namespace {

constexpr std::uint64_t byte_cap = std::uint64_t{1} << 20;
constexpr std::size_t item_cap = 64;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// The library, loaded once, with only the formats of the target's family left
// in its list, so that an input is offered to those alone.
CCodecs& installed_library(std::initializer_list<const wchar_t*> formats)
{
    static CCodecs* codecs = [formats] {
        auto* loaded = new CCodecs;  // kept for the whole run
        check(loaded->LoadFromFolder(AString("/usr/lib/p7zip/")) == S_OK);
        loaded->AddRef();
        if (formats.size() == 0)
            return loaded;
        for (int i = loaded->FormatList.Size() - 1; i >= 0; --i) {
            bool kept = false;
            for (const wchar_t* name : formats)
                kept = kept || FindFormatByName(loaded->FormatList, name) == i;
            if (!kept)
                loaded->FormatList.Delete(i);
        }
        check(loaded->FormatList.Size() == static_cast<int>(formats.size()));
        return loaded;
    }();
    return *codecs;
}

// The file that holds the current input, one per process, removed at its end.
struct input_file {
    input_file()
    {
        char name[] = "/tmp/archive_fuzz.XXXXXX";
        const int fd = mkstemp(name);
        check(fd >= 0);
        close(fd);
        path = name;
    }
    ~input_file() { unlink(path.c_str()); }

    std::string path;
};

const std::string& input_path()
{
    static const input_file file;
    return file.path;
}

// Counts what it is given and refuses once the input's cap is spent.
class capped_sink : public archive::item_sink {
public:
    explicit capped_sink(std::uint64_t& left) : left_(left) {}

    bool write(const char*, std::size_t size) override
    {
        if (size > left_) {
            left_ = 0;
            return false;
        }
        left_ -= size;
        return true;
    }

    bool wanted() override { return left_ > 0; }

private:
    std::uint64_t& left_;
};

// One pass of the library: every item it begins goes into the capped sink.
class capped_pass : public archive::items_sink {
public:
    explicit capped_pass(std::uint64_t& left) : sink_(left), left_(left) {}

    archive::item_sink* begin_item(std::uint32_t) override { return &sink_; }
    void end_item(std::uint32_t, archive::item_status) override {}
    bool wanted() override { return left_ > 0; }

private:
    capped_sink sink_;
    const std::uint64_t& left_;
};

}  // namespace

// An archive's header names the dictionary or model size that its decoder
// allocates at once, and a format without a signature (lzma) takes almost any
// input: mutations keep asking for up to 4 GiB, which AddressSanitizer needs
// seconds to map and poison. Such a request fails here as it would on a small
// machine, so the inputs stay quick and the library's handling of a refused
// allocation is fuzzed too.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1:max_allocation_size_mb=256";
}

int fuzz_archive_family(std::initializer_list<const wchar_t*> formats, const std::uint8_t* data, std::size_t size)
{
    CCodecs& codecs = installed_library(formats);
    std::FILE* file = std::fopen(input_path().c_str(), "wb");
    check(file && std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0);

    archive::archive_file archive;
    if (archive.open(codecs, input_path()).status != archive::open_status::opened)
        return 0;
    std::vector<std::uint32_t> indices;
    archive.list_items([&indices](std::string_view, std::uint32_t index) {
        check(indices.empty() || index > indices.back());
        indices.push_back(index);
    });
    const std::vector<archive::item_details> details = archive.read_details();
    if (indices.size() > item_cap)
        indices.resize(item_cap);

    std::uint64_t left = byte_cap;
    for (std::size_t i = 0; i < indices.size() && left > 0; ++i) {
        // The size that a reply's head would promise is the one the listing shows.
        std::uint64_t recorded = 0;
        if (archive.item_size(indices[i], recorded))
            check(indices[i] < details.size() && details[indices[i]].has_size && details[indices[i]].size == recorded);
        capped_sink sink(left);
        archive.extract(indices[i], sink);
    }
    // One pass of one item is the extraction just made.
    if (indices.size() > 1 && left > 0) {
        capped_pass pass(left);
        archive.extract_items(indices, pass);
    }
    if (!indices.empty() && left > 0) {
        archive::archive_file again;
        if (again.open_again(codecs, archive).status == archive::open_status::opened) {
            capped_sink sink(left);
            again.extract(indices.front(), sink);
        }
    }
    return 0;
}
