// The details listing and revalidation through the real program: what it says
// of each item is what the archive records, as the 7z tool reads it; a tag the
// client holds saves the item, until the archive file changes.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "tests/support/archive_tools.h"
#include "tests/support/listing_files.h"
#include "tests/support/raw_http.h"
#include "tests/support/run_process.h"
#include "tests/support/running_program.h"
#include "tests/support/strict_json.h"
#include "tests/support/temp_folder.h"

using namespace test_support;

namespace {

// Each file item's fields as `7z l -slt` prints them, by path.
std::map<std::string, std::map<std::string, std::string>> tool_listing(const std::string& archive)
{
    process_options options;
    options.environment = {"TZ=UTC"};
    const process_result listed = run_process("/usr/bin/7z", {"l", "-slt", archive}, options);
    std::map<std::string, std::map<std::string, std::string>> items;
    std::istringstream lines(listed.out.substr(listed.out.find("----------")));
    std::map<std::string, std::string> fields;
    for (std::string line; std::getline(lines, line);) {
        const std::size_t equals = line.find(" = ");
        if (equals != std::string::npos)
            fields[line.substr(0, equals)] = line.substr(equals + 3);
        if (line.empty() && fields.count("Path")) {
            if (fields["Folder"] != "+" && fields["Attributes"].rfind('D', 0) != 0)
                items[fields["Path"]] = fields;
            fields.clear();
        }
    }
    return items;
}

class Details : public ::testing::Test {
protected:
    void SetUp() override
    {
        work_.write_file("HTML/index.html", "page");
        work_.write_file("content/docs/readme.txt", "read me\n");
        work_.write_file("content/b.txt", std::string(5000, 'b'));
        work_.write_file("content/empty.txt", "");
    }

    std::unique_ptr<running_program> start(const std::string& archive)
    {
        return start_server(VORSEL_EXECUTABLE, work_.path(), archive, port_);
    }

    temp_folder work_;
    unsigned short port_ = 0;
};

}  // namespace

TEST_F(Details, TheListingSaysWhatTheArchiveRecords)
{
    for (const std::string type : {"zip", "7z", "tar"}) {
        const std::string name = "a." + type;
        run_7z({"a", "-bd", "-t" + type, work_.path() + name, "."}, work_.path() + "content");
        auto program = start(name);
        const std::string text = reply_body(http_get(port_, "/ArchiveContent?details"));
        const std::optional<json_value> listing = parse_strict_json(text);
        ASSERT_TRUE(listing) << type << ": " << text;
        EXPECT_EQ(listing->at("archive").at("name").text, name);
        EXPECT_EQ(listing->at("archive").at("size").number, read_file(work_.path() + name).size()) << type;

        const std::map<std::string, const json_value*> files = listing_files(*listing);
        const auto recorded = tool_listing(work_.path() + name);
        ASSERT_EQ(files.size(), recorded.size()) << type;
        for (const auto& [path, fields] : recorded) {
            ASSERT_EQ(files.count(path), 1u) << type << " " << path;
            const json_value& file = *files.at(path);
            EXPECT_EQ(std::to_string(static_cast<long long>(file.at("size").number)), fields.at("Size"))
                << type << " " << path;
            // "2026-12-09 14:49:36" against "2026-12-09T14:49:36Z" (the tool may add fractions).
            std::string modified = file.at("modified").text;
            modified[10] = ' ';
            EXPECT_EQ(fields.at("Modified").substr(0, 19), modified.substr(0, 19)) << type << " " << path;
            if (fields.count("CRC") && !fields.at("CRC").empty()) {
                EXPECT_EQ(file.at("crc").text, fields.at("CRC")) << type << " " << path;
            }
            EXPECT_FALSE(file.at("encrypted").boolean);
        }
    }
}

TEST_F(Details, AHeldTagSavesTheItemUntilTheArchiveChanges)
{
    run_7z({"a", "-bd", work_.path() + "a.7z", "."}, work_.path() + "content");
    std::string etag;
    {
        auto program = start("a.7z");
        const std::string first = http_get(port_, "/ArchiveContent/b.txt");
        const std::size_t at = first.find("\r\nETag: ");
        ASSERT_NE(at, std::string::npos) << first;
        etag = first.substr(at + 8, first.find("\r\n", at + 8) - at - 8);
        const std::string again =
            http_exchange(port_, "GET /ArchiveContent/b.txt HTTP/1.0\r\nIf-None-Match: " + etag + "\r\n\r\n");
        EXPECT_EQ(reply_status_line(again), "HTTP/1.0 304 Not Modified");
        EXPECT_EQ(reply_body(again), "");
    }
    // The same archive made again, with other contents: the old tag no longer holds.
    work_.write_file("content/b.txt", std::string(6000, 'c'));
    std::filesystem::remove(work_.path() + "a.7z");
    run_7z({"a", "-bd", work_.path() + "a.7z", "."}, work_.path() + "content");
    auto program = start("a.7z");
    const std::string changed =
        http_exchange(port_, "GET /ArchiveContent/b.txt HTTP/1.0\r\nIf-None-Match: " + etag + "\r\n\r\n");
    EXPECT_EQ(reply_status_line(changed), "HTTP/1.0 200 OK");
    EXPECT_EQ(reply_body(changed), std::string(6000, 'c'));
}
