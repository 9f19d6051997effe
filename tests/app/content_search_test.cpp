// Contents search through the real executable over plain sockets, on archives
// made by the 7z tool: the results of a table of patterns on each kind of
// archive against a Python model of the same search over the extracted tree
// (tests/app/search_model.py); encrypted items, an inner archive, refused
// patterns, a pathological pattern, and a client that leaves mid-search.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <thread>
#include <unistd.h>

#include "tests/support/archive_tools.h"
#include "tests/support/raw_http.h"
#include "tests/support/run_process.h"
#include "tests/support/served_archive.h"
#include "tests/support/strict_json.h"
#include "tests/support/temp_folder.h"
#include "tests/support/timed_http.h"

using namespace test_support;

namespace {

// The tree: sources, text with a Latin-1 byte, a file of 8000 long lines that
// all match (so that lines cross the pieces the library writes in), a line
// longer than the window, a binary file, and an empty folder.
const char* const make_tree = R"(
import os, random, sys
root = sys.argv[1]
def put(path, data):
    full = os.path.join(root, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    open(full, 'wb').write(data)
put('src/main.c', b'#include <stdlib.h>\nint main() {\n  char *p = malloc (4); // TODO free\n  return 0;\n}\n')
put('src/util.h', b'#include <stddef.h>\n/* todo: document */\nvoid *malloc(size_t);\n')
put('src/deep/x.c', b'/* ToDo */\nmallocate(1);\nmalloc\n(2);\n')
put('docs/readme.txt', 'Caf\u00e9 TODO list\n'.encode() + b'Latin-1 \xe9 todo\nnothing here\nno line end TODO')
rng = random.Random(22)
lines = []
for i in range(8000):
    n = rng.randrange(200, 700)
    at = rng.randrange(0, n)
    line = ''.join(rng.choice('abcdefgh ') for _ in range(n))
    extra = ' malloc(x)' if i % 97 == 0 else ''
    lines.append(line[:at] + 'TODO' + line[at:] + extra)
put('big/every.txt', ('\n'.join(lines) + '\n').encode())
put('big/long.txt', b'x' * 2000 + b' TODO ' + b'y' * 1000 + b'\nshort todo\n')
put('bin/blob.bin', b'\0' + b'TODO in a binary\n' * 10)
os.makedirs(os.path.join(root, 'empty'), exist_ok=True)
)";

std::string encoded(const std::string& text)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '*')
            out += static_cast<char>(c);
        else
            out.append(1, '%').append(1, hex[c >> 4]).append(1, hex[c & 15]);
    }
    return out;
}

struct query {
    std::string json;     // for the model
    std::string address;  // the query string for the server
};

// What one search gave: its matching lines as the model writes them, and its end.
struct outcome {
    std::string status_line;
    std::vector<std::string> hits;  // "PATH|LINE|TEXT|RANGES", sorted
    std::optional<json_value> done;
    int progress_lines = 0;
    std::string body;
};

std::string hit_key(const std::string& path, double line, const std::string* text, const std::string& ranges)
{
    std::string key = path;
    key.append("|").append(std::to_string(static_cast<long long>(line))).append("|");
    key.append(text ? *text : std::string("(window)")).append("|").append(ranges);
    return key;
}

std::string ranges_text(const json_value& ranges)
{
    std::string text;
    for (const json_value& range : ranges.items)
        text.append("[")
            .append(std::to_string(static_cast<long long>(range.items.at(0).number)))
            .append(",")
            .append(std::to_string(static_cast<long long>(range.items.at(1).number)))
            .append("]");
    return text;
}

outcome search(unsigned short port, const std::string& target, const std::string& extra_headers = "")
{
    const timed_reply reply = timed_request(
        port, "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n" + extra_headers + "\r\n", std::chrono::seconds(60));
    outcome result;
    result.status_line = reply.status_line;
    result.body = reply.body;
    EXPECT_TRUE(reply.ended) << target;
    std::size_t at = reply.status_line == "HTTP/1.0 200 OK" ? 0 : reply.body.size();
    while (at < reply.body.size()) {
        const std::size_t end = reply.body.find('\n', at);
        const std::string line = reply.body.substr(at, end - at);
        at = end == std::string::npos ? reply.body.size() : end + 1;
        const std::optional<json_value> value = parse_strict_json(line);
        if (!value) {
            ADD_FAILURE() << "not JSON: " << line;
            continue;
        }
        EXPECT_FALSE(result.done) << "nothing follows done";
        if (value->keys.at(0) == "done") {
            result.done = value->at("done");
        } else if (value->keys.at(0) == "progress") {
            ++result.progress_lines;
        } else {
            const json_value& text = value->at("text");
            EXPECT_LE(text.text.size(), 512u);
            const std::string* shown = &text.text;
            const bool cut = text.text.size() == 512;  // a window of a longer line (the test's text is ASCII)
            result.hits.push_back(hit_key(value->at("item").text, value->at("line").number, cut ? nullptr : shown,
                                          cut ? "" : ranges_text(value->at("ranges"))));
        }
    }
    std::sort(result.hits.begin(), result.hits.end());
    return result;
}

// The hits that one side has and the other has not, a few of each.
std::string difference(const std::vector<std::string>& got, const std::vector<std::string>& expected)
{
    std::vector<std::string> extra, missing;
    std::set_difference(got.begin(), got.end(), expected.begin(), expected.end(), std::back_inserter(extra));
    std::set_difference(expected.begin(), expected.end(), got.begin(), got.end(), std::back_inserter(missing));
    std::string text;
    for (std::size_t i = 0; i < std::min<std::size_t>(5, extra.size()); ++i)
        text.append("  not in the model: ").append(extra[i].substr(0, 200)).append("\n");
    for (std::size_t i = 0; i < std::min<std::size_t>(5, missing.size()); ++i)
        text.append("  missing: ").append(missing[i].substr(0, 200)).append("\n");
    return text;
}

// The model's results for each query, in the same form.
std::vector<outcome> model(const std::string& folder, const std::vector<query>& queries)
{
    std::string list = "[";
    for (const query& q : queries)
        list.append(list.size() > 1 ? "," : "").append(q.json);
    list += "]";
    const process_result run =
        run_process("/usr/bin/python3", {std::string(VORSEL_SOURCE_DIR) + "/tests/app/search_model.py", folder, list});
    EXPECT_EQ(run.exit_status, 0) << run.err;
    std::vector<outcome> results;
    std::size_t at = 0;
    while (at < run.out.size()) {
        const std::size_t end = run.out.find('\n', at);
        const std::optional<json_value> value = parse_strict_json(run.out.substr(at, end - at));
        at = end + 1;
        if (!value)
            break;
        outcome expected;
        for (const json_value& hit : value->at("hits").items) {
            const bool cut = hit.items[2].type == json_value::kind::null;
            expected.hits.push_back(hit_key(hit.items[0].text, hit.items[1].number, cut ? nullptr : &hit.items[2].text,
                                            cut ? "" : ranges_text(hit.items[3])));
        }
        std::sort(expected.hits.begin(), expected.hits.end());
        expected.done = *value;
        results.push_back(std::move(expected));
    }
    return results;
}

class ContentSearch : public ::testing::Test {
protected:
    void SetUp() override
    {
        run_python(make_tree, {work_.path() + "tree"});
    }

    std::string archive(const std::string& name, const std::vector<std::string>& options)
    {
        std::vector<std::string> arguments{"a", "-bso0", "-bsp0"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.push_back(work_.path() + name);
        arguments.push_back(".");
        run_7z(arguments, work_.path() + "tree");
        return work_.path() + name;
    }

    std::string extracted(const std::string& archive_path, const std::string& password = "")
    {
        const std::string folder = work_.make_folder("x-" + std::to_string(++extractions_));
        std::vector<std::string> arguments{"x", "-bso0", "-bsp0", "-o" + folder};
        if (!password.empty())
            arguments.push_back("-p" + password);
        arguments.push_back(archive_path);
        run_7z(arguments, work_.path());
        return folder;
    }

    void agrees_with_the_model(const std::string& name, const std::vector<std::string>& options);

    temp_folder work_;
    int extractions_ = 0;
};

}  // namespace

// The table of queries on one archive made with `options`, against the model.
void ContentSearch::agrees_with_the_model(const std::string& name, const std::vector<std::string>& options)
{
    const std::vector<query> queries = {
        {R"({"search":"TODO","case":1})", "search=TODO&case=1"},
        {R"({"search":"todo"})", "search=todo"},
        {R"({"search":"\\bmalloc\\s*\\(","regex":1})", "search=" + encoded(R"(\bmalloc\s*\()") + "&regex=1"},
        {R"({"search":"^#include","regex":1,"in":"src"})", "search=" + encoded("^#include") + "&regex=1&in=src"},
        {R"({"search":"todo","names":"*.h,*.TXT"})", "search=todo&names=" + encoded("*.h,*.TXT")},
        {R"({"search":"TODO","binary":1,"in":"bin"})", "search=TODO&binary=1&in=bin"},
        {R"({"search":"todo","in":"src/deep"})", "search=todo&in=src%2Fdeep"},
        // A literal whose prefilter holds other bytes than letters, and a
        // pattern with no literal that every match needs (no prefilter).
        {R"({"search":"INCLUDE <STD"})", "search=" + encoded("INCLUDE <STD")},
        {R"({"search":"free|document|a{3}b","regex":1})", "search=" + encoded("free|document|a{3}b") + "&regex=1"},
    };
    const std::string path = archive(name, options);
    const std::vector<outcome> expected = model(extracted(path), queries);
    ASSERT_EQ(expected.size(), queries.size());
    served_archive server(VORSEL_EXECUTABLE, path);
    ASSERT_NE(server.port(), 0);
    for (std::size_t i = 0; i < queries.size(); ++i) {
        SCOPED_TRACE(queries[i].address);
        const outcome got = search(server.port(), "/ArchiveContent?" + queries[i].address);
        EXPECT_EQ(got.status_line, "HTTP/1.0 200 OK");
        ASSERT_TRUE(got.done) << got.body.substr(0, 500);
        EXPECT_TRUE(got.hits == expected[i].hits) << difference(got.hits, expected[i].hits);
        EXPECT_EQ(got.done->at("matches").number, static_cast<double>(expected[i].hits.size()));
        EXPECT_EQ(got.done->at("items").number, expected[i].done->at("searched").number);
        EXPECT_EQ(got.done->at("skipped").number, expected[i].done->at("skipped").number);
        EXPECT_FALSE(got.done->at("truncated").boolean);
        EXPECT_GE(got.progress_lines, 1);
    }
}

TEST_F(ContentSearch, AZipAgreesWithTheModel)
{
    agrees_with_the_model("tree.zip", {"-tzip"});
}

TEST_F(ContentSearch, ASolid7zAgreesWithTheModel)
{
    agrees_with_the_model("solid.7z", {"-t7z", "-ms=on", "-mx=5"});
}

TEST_F(ContentSearch, A7zOfItemsApartAgreesWithTheModel)
{
    agrees_with_the_model("apart.7z", {"-t7z", "-ms=off"});
}

TEST_F(ContentSearch, ATarAgreesWithTheModel)
{
    agrees_with_the_model("tree.tar", {"-ttar"});
}

TEST_F(ContentSearch, EncryptedItemsAreSkippedWithoutTheirPasswordAndSearchedWithIt)
{
    for (const std::string& name : {std::string("locked.7z"), std::string("locked.zip")}) {
        SCOPED_TRACE(name);
        const std::string path = archive(name, {name.ends_with(".zip") ? "-tzip" : "-t7z", "-psecret"});
        const std::vector<outcome> expected = model(extracted(path, "secret"), {{R"({"search":"todo"})", ""}});
        served_archive server(VORSEL_EXECUTABLE, path);
        const outcome without = search(server.port(), "/ArchiveContent?search=todo");
        ASSERT_TRUE(without.done);
        EXPECT_TRUE(without.hits.empty());
        EXPECT_EQ(without.done->at("items").number, 0);
        EXPECT_EQ(without.done->at("skipped").number,
                  expected[0].done->at("searched").number + expected[0].done->at("skipped").number);
        const outcome with = search(server.port(), "/ArchiveContent?search=todo", "X-Archive-Password: secret\r\n");
        ASSERT_TRUE(with.done);
        EXPECT_TRUE(with.hits == expected[0].hits) << difference(with.hits, expected[0].hits);
        const outcome wrong = search(server.port(), "/ArchiveContent?search=todo", "X-Archive-Password: guess\r\n");
        ASSERT_TRUE(wrong.done);
        EXPECT_TRUE(wrong.hits.empty()) << "what a wrong key decodes is never reported";
    }
}

TEST_F(ContentSearch, AnInnerArchiveIsSearchedAtItsOwnAddress)
{
    const std::string inner = archive("inner.zip", {"-tzip"});
    work_.write_file("outer/notes.txt", "outer todo\n");
    copy_file(inner, work_.path() + "outer/sub/inner.zip");
    run_7z({"a", "-bso0", "-t7z", work_.path() + "outer.7z", "."}, work_.path() + "outer");
    const std::vector<outcome> expected = model(extracted(inner), {{R"({"search":"todo","in":"src"})", ""}});
    served_archive server(VORSEL_EXECUTABLE, work_.path() + "outer.7z");
    const outcome got = search(server.port(), "/ArchiveContent/sub/inner.zip?search=todo&in=src");
    EXPECT_EQ(got.status_line, "HTTP/1.0 200 OK");
    ASSERT_TRUE(got.done);
    EXPECT_TRUE(got.hits == expected[0].hits) << difference(got.hits, expected[0].hits);
    EXPECT_EQ(search(server.port(), "/ArchiveContent/notes.txt?search=todo").status_line, "HTTP/1.0 404 Not Found");
    const outcome outer = search(server.port(), "/ArchiveContent?search=todo");
    ASSERT_TRUE(outer.done);
    EXPECT_EQ(outer.hits, std::vector<std::string>{"notes.txt|1|outer todo|[6,10]"});
}

TEST_F(ContentSearch, RefusedTermsAnswer400WithTheReason)
{
    served_archive server(VORSEL_EXECUTABLE, archive("tree.zip", {"-tzip"}));
    const outcome unbalanced = search(server.port(), "/ArchiveContent?search=%28a&regex=1");
    EXPECT_EQ(unbalanced.status_line, "HTTP/1.0 400 Bad Request");
    EXPECT_NE(unbalanced.body.find("missing )"), std::string::npos) << unbalanced.body;
    const outcome long_one = search(server.port(), "/ArchiveContent?search=" + std::string(1025, 'a'));
    EXPECT_EQ(long_one.status_line, "HTTP/1.0 400 Bad Request");
    EXPECT_EQ(search(server.port(), "/ArchiveContent?search=a&max=0").status_line, "HTTP/1.0 400 Bad Request");
    EXPECT_EQ(search(server.port(), "/ArchiveContent?search=a&in=nowhere").status_line, "HTTP/1.0 404 Not Found");
    const outcome few = search(server.port(), "/ArchiveContent?search=TODO&max=3");
    ASSERT_TRUE(few.done);
    EXPECT_EQ(few.hits.size(), 3u);
    EXPECT_TRUE(few.done->at("truncated").boolean);
}

TEST_F(ContentSearch, APathologicalPatternEndsAtOnce)
{
    work_.write_file("runs/a.txt", std::string(200000, 'a') + "\n" + std::string(100000, 'a'));
    run_7z({"a", "-bso0", "-t7z", work_.path() + "runs.7z", "."}, work_.path() + "runs");
    served_archive server(VORSEL_EXECUTABLE, work_.path() + "runs.7z");
    // A backtracking engine takes time exponential in the run for this one.
    const outcome got = search(server.port(), "/ArchiveContent?search=" + encoded("(a*)*b") + "&regex=1");
    ASSERT_TRUE(got.done) << got.body;
    EXPECT_EQ(got.done->at("matches").number, 0);
    EXPECT_EQ(got.done->at("items").number, 1);
}

TEST_F(ContentSearch, ClientsThatLeaveFreeTheWorkers)
{
    // Lines that nearly all match: results far beyond what a client that
    // reads nothing takes, so that each search waits for its client.
    run_python(R"(
import os, random, sys
rng = random.Random(5)
os.makedirs(sys.argv[1], exist_ok=True)
for i in range(4):
    with open(os.path.join(sys.argv[1], 'part%d.txt' % i), 'w') as f:
        letters = rng.choices('abcdefghij ', k=60 * 50000)
        f.write(''.join(''.join(letters[n:n + 60]) + '\n' for n in range(0, len(letters), 60)))
)",
               {work_.path() + "long"});
    run_7z({"a", "-bso0", "-t7z", "-mx=1", "-ms=on", work_.path() + "long.7z", "."}, work_.path() + "long");
    served_archive server(VORSEL_EXECUTABLE, work_.path() + "long.7z");
    // Two searches, as many as run at once, whose clients read their heads
    // and then nothing: they hold every worker that searches may take. The
    // first one's results have begun; the second one may still wait for a
    // worker (a machine of two cores gives searches one), so only its head is
    // waited for.
    std::vector<int> idle;
    for (int i = 0; i < 2; ++i) {
        const int fd = connect_loopback(server.port());
        ASSERT_GE(fd, 0);
        EXPECT_NE(start_get(fd, "/ArchiveContent?search=e&max=1000000", i == 0 ? 1 : 0).find("200 OK"),
                  std::string::npos);
        idle.push_back(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    for (const int fd : idle)
        close(fd);
    // Had they not stopped, this one would wait for them for ever.
    const outcome after = search(server.port(), "/ArchiveContent?search=zzzz&names=part0.txt");
    ASSERT_TRUE(after.done) << after.body;
    EXPECT_EQ(after.done->at("items").number, 1);
    EXPECT_EQ(after.done->at("matches").number, 0);
}
