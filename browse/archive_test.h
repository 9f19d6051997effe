// One test of an archive: every item decoded in archive order (each solid
// block once) and its bytes let go, with each item that does not decode well
// written to the client as NDJSON, one object a line:
//   {"item":PATH,"result":KIND}  an item that is not sound ("address" beside
//     "item" when the path shown differs from the item's address); KIND is
//     "crc", "data", "unavailable", "password", "unsupported" or "truncated"
//   {"progress":{"items":I,"bytes":B,"of_items":TI,"of_bytes":TB}}  at most four a second
//   {"done":{"items":I,"ok":K,"bad":N,"bytes":B,"ms":T}}  last
// It runs in turns on the shared workers like a search (search_workers.h);
// its units (search_units.h) make one turn of each solid block. The items sink
// is called on the worker of the turn; wanted() may be asked from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "archive/item_sink.h"
#include "browse/ndjson_walk.h"

namespace browse {

// The result kind a test reports for an item's status; empty for ok (and for
// an extraction the test itself stopped).
const char* test_result_kind(archive::item_status status);

class archive_test : public ndjson_walk, private archive::item_sink {
public:
    // Results go to `out`; `items` are decoded in index order with `password`.
    archive_test(std::vector<search_item> items, std::unique_ptr<search_units> units,
                 std::shared_ptr<http::live_stream> out, item_password password);

    // An item the library never gave a result for: the archive ends before it.
    void skip(std::uint32_t index) override;
    void finish() override;

    archive::item_sink* begin_item(std::uint32_t index) override;
    void end_item(std::uint32_t index, archive::item_status status) override;
    bool wanted() override { return !stopped(); }

private:
    bool write(const char* data, std::size_t size) override;
    void count_done(std::size_t position, const char* kind);

    std::uint64_t ok_ = 0, bad_ = 0;
};

}  // namespace browse
