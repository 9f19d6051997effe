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

// Created and accessed times, attributes, method and comment, where the format
// records them, as `7z l -slt` prints them: a zip with NTFS times and an item
// comment (and a Unix mode with Windows letters), and a 7z with every time.
TEST_F(Details, TheListingGivesTimesAttributesMethodAndComment)
{
    run_7z({"a", "-bd", "-tzip", "-mtc=on", work_.path() + "a.zip", "."}, work_.path() + "content");
    run_python(R"(
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1], 'a')
info = zipfile.ZipInfo('noted.txt', (2021, 3, 4, 5, 6, 8))
info.comment = b'a word on it'
info.create_system = 3
info.external_attr = (0o100750 << 16) | 0x21
z.writestr(info, b'noted\n')
z.close()
)",
               {work_.path() + "a.zip"});
    run_7z({"a", "-bd", "-t7z", "-mtc=on", "-mta=on", work_.path() + "a.7z", "."}, work_.path() + "content");
    std::size_t with_created = 0, with_accessed = 0, with_comment = 0;
    for (const std::string name : {"a.zip", "a.7z"}) {
        auto program = start(name);
        const std::optional<json_value> listing = parse_strict_json(reply_body(http_get(port_, "/ArchiveContent?details")));
        ASSERT_TRUE(listing) << name;
        const std::map<std::string, const json_value*> files = listing_files(*listing);
        const auto recorded = tool_listing(work_.path() + name);
        ASSERT_EQ(files.size(), recorded.size()) << name;
        for (const auto& [path, fields] : recorded) {
            SCOPED_TRACE(name + " " + path);
            const json_value& file = *files.at(path);
            const auto text_of = [&file](const std::string& key) {
                for (std::size_t i = 0; i < file.keys.size(); ++i)
                    if (file.keys[i] == key)
                        return file.values[i].text;
                return std::string();
            };
            for (const auto& [key, field] : {std::pair{"created", "Created"}, std::pair{"accessed", "Accessed"}}) {
                std::string time = text_of(key);
                if (!time.empty())
                    time[10] = ' ';
                EXPECT_EQ(time.substr(0, 19), fields.count(field) ? fields.at(field).substr(0, 19) : "") << key;
            }
            // The tool puts a space before the mode whether or not letters come first.
            std::string attributes = fields.count("Attributes") ? fields.at("Attributes") : "";
            if (!attributes.empty() && attributes[0] == ' ')
                attributes.erase(0, 1);
            EXPECT_EQ(text_of("attributes"), attributes);
            EXPECT_EQ(text_of("method"), fields.count("Method") ? fields.at("Method") : "");
            EXPECT_EQ(text_of("comment"), fields.count("Comment") ? fields.at("Comment") : "");
            with_created += !text_of("created").empty();
            with_accessed += !text_of("accessed").empty();
            with_comment += !text_of("comment").empty();
        }
    }
    // The archives hold what the comparison is meant to see.
    EXPECT_GE(with_created, 6u);
    EXPECT_GE(with_accessed, 3u);
    EXPECT_EQ(with_comment, 1u);
}
