// Encrypted and split archives served by the real program over plain sockets:
// encrypted items with the right, a wrong and no password (the password in its
// request header), encrypted names opened with a password from the environment
// or typed at a terminal, and archives in volumes opened from their first part,
// whole or with a volume missing.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <thread>
#include <vector>

#include "tests/support/archive_tools.h"
#include "tests/support/known_bytes.h"
#include "tests/support/raw_http.h"
#include "tests/support/run_process.h"
#include "tests/support/running_program.h"
#include "tests/support/temp_folder.h"

using namespace test_support;

namespace {

// A password beyond ASCII, so that its UTF-8 bytes and their encoding count, as
// the viewer encodes it; zip's encryption takes ASCII only (the 7z tool refuses
// other passwords for it), with characters that need encoding all the same.
const std::string password = "S\xC3\xA9same ouvre-toi";
const std::string password_header = "S%C3%A9same%20ouvre-toi";
const std::string zip_password = "Open sesame+%";
const std::string zip_password_header = "Open%20sesame%2B%25";

// The items of every archive made here: a small text, a picture-sized item and
// one larger than a streamed item's queue, whose head would go out early.
std::map<std::string, std::string> contents()
{
    return {{"notes.txt", known_bytes(3000, 1)},
            {"photo.bin", known_bytes(300000, 2)},
            {"movie.bin", known_bytes(std::size_t{5} << 20, 3)}};
}

struct item_reply {
    std::string status_line;
    std::string whole;  // head and body
    std::string body;
};

// A GET of an item, with the password header when `header` is not empty.
item_reply get_item(unsigned short port, const std::string& name, const std::string& header = "")
{
    std::string request = "GET /ArchiveContent/" + name + " HTTP/1.0\r\nHost: 127.0.0.1\r\n";
    if (!header.empty())
        request += "X-Archive-Password: " + header + "\r\n";
    item_reply reply;
    reply.whole = http_exchange(port, request + "\r\n");
    reply.status_line = reply_status_line(reply.whole);
    reply.body = reply_body(reply.whole);
    return reply;
}

// A 401 whose body says `text`, and no challenge that would make a browser
// show a password dialog of its own.
bool asks_for_password(const item_reply& reply, const std::string& text)
{
    return reply.status_line == "HTTP/1.0 401 Unauthorized" && reply.body.find(text) != std::string::npos &&
           reply.whole.find("WWW-Authenticate") == std::string::npos;
}

class EncryptedAndSplit : public ::testing::Test {
protected:
    EncryptedAndSplit()
    {
        for (const auto& [name, bytes] : contents())
            folder_.write_file("src/" + name, bytes);
    }

    // Makes `archive` of the three items with the 7z tool and `options`.
    std::string make(const std::string& archive, std::vector<std::string> options)
    {
        options.insert(options.begin(), {"a", "-bd", archive});
        options.insert(options.end(), {"notes.txt", "photo.bin", "movie.bin"});
        run_7z(options, folder_.path() + "src");
        return folder_.path() + "src/" + archive;
    }

    temp_folder folder_;
};

// Every item of an archive that encrypts its data (names readable): no password
// and a wrong one answer 401 with a body that says which, and no browser dialog;
// the right one gives the exact bytes. What the right password decoded is never
// served to a request without it, and the console never shows a password.
TEST_F(EncryptedAndSplit, EncryptedItemsAnswerTheirPasswordOnly)
{
    const struct {
        const char* archive;
        std::vector<std::string> options;
        const std::string& password;
        const std::string& header;
    } cases[] = {
        {"data.7z", {"-p" + password}, password, password_header},
        {"zipcrypto.zip", {"-tzip", "-mem=ZipCrypto", "-p" + zip_password}, zip_password, zip_password_header},
        {"aes.zip", {"-tzip", "-mem=AES256", "-p" + zip_password}, zip_password, zip_password_header},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.archive);
        const std::string archive = make(c.archive, c.options);
        unsigned short port = 0;
        auto server = start_server(VORSEL_EXECUTABLE, folder_.path(), archive, port);
        for (const auto& [name, bytes] : contents()) {
            SCOPED_TRACE(name);
            const item_reply none = get_item(port, name);
            EXPECT_TRUE(asks_for_password(none, "needs a password")) << none.status_line << none.body;
            const item_reply wrong = get_item(port, name, "wrong");
            EXPECT_TRUE(asks_for_password(wrong, "password is wrong")) << wrong.status_line << wrong.body;
            const item_reply right = get_item(port, name, c.header);
            EXPECT_EQ(right.status_line, "HTTP/1.0 200 OK");
            EXPECT_TRUE(right.body == bytes) << right.body.size() << " bytes";
            EXPECT_TRUE(asks_for_password(get_item(port, name), "needs a password")) << "after the right password";
            EXPECT_TRUE(asks_for_password(get_item(port, name, "wrong"), "password is wrong"));
        }
        EXPECT_EQ(get_item(port, "notes.txt", "%zz").status_line, "HTTP/1.0 400 Bad Request")
            << "a password that is not percent-encoded";
        server->signal(SIGTERM);
        EXPECT_EQ(server->wait_for_exit(), 0);
        EXPECT_EQ(server->output().find(c.password), std::string::npos) << server->output();
        EXPECT_EQ(server->output().find(c.header), std::string::npos);
        EXPECT_NE(server->output().find(": it is encrypted and needs a password\n"), std::string::npos);
        EXPECT_NE(server->output().find(": the password is wrong, or the encrypted item is damaged\n"), std::string::npos);
    }
}

// Requests that come together for the small items of one solid encrypted
// block (as a grid of thumbnails asks for pictures) each answer 401, without a
// password and with a wrong one, whichever item the library stopped at.
TEST_F(EncryptedAndSplit, EncryptedItemsAskedTogetherAllAnswerTheirPassword)
{
    std::vector<std::string> names;
    for (int n = 0; n < 4; ++n) {
        names.push_back("picture-" + std::to_string(n) + ".bin");
        folder_.write_file("small/" + names.back(), known_bytes(200, n));
    }
    std::vector<std::string> options = {"a", "-bd", "-ms=on", "-p" + password, "solid.7z"};
    options.insert(options.end(), names.begin(), names.end());
    run_7z(options, folder_.path() + "small");
    unsigned short port = 0;
    auto server = start_server(VORSEL_EXECUTABLE, folder_.path(), folder_.path() + "small/solid.7z", port);
    for (int round = 0; round < 30; ++round) {
        for (const std::string header : {"", "wrong"}) {
            std::vector<item_reply> replies(names.size());
            std::vector<std::thread> clients;
            for (std::size_t i = 0; i < names.size(); ++i)
                clients.emplace_back([&, i] { replies[i] = get_item(port, names[i], header); });
            for (std::thread& client : clients)
                client.join();
            for (std::size_t i = 0; i < names.size(); ++i)
                EXPECT_TRUE(asks_for_password(replies[i], header.empty() ? "needs a password" : "password is wrong"))
                    << "round " << round << ", " << names[i] << ": " << replies[i].status_line;
        }
    }
}

// Encrypted names without a terminal: today's message and exit path without a
// password, and VORSEL_PASSWORD opens the archive (a wrong one is said so).
TEST_F(EncryptedAndSplit, EncryptedNamesOpenWithThePasswordOfTheEnvironment)
{
    const std::string archive = make("names.7z", {"-p" + password, "-mhe=on"});
    process_options no_terminal;
    no_terminal.environment = {"BROWSER=/bin/true"};
    no_terminal.working_directory = folder_.path();
    const process_result refused = run_process(VORSEL_EXECUTABLE, {archive}, no_terminal);
    EXPECT_EQ(refused.exit_status, 3);
    EXPECT_NE(refused.out.find("\nPassword is not defined\n\nCan not get input class object\n"), std::string::npos)
        << refused.out;

    process_options wrong = no_terminal;
    wrong.environment.push_back("VORSEL_PASSWORD=wrong");
    const process_result wrong_run = run_process(VORSEL_EXECUTABLE, {archive}, wrong);
    EXPECT_EQ(wrong_run.exit_status, 3);
    EXPECT_NE(wrong_run.out.find("\nWrong password\n"), std::string::npos) << wrong_run.out;

    unsigned short port = 0;
    auto server = start_server(VORSEL_EXECUTABLE, folder_.path(), archive, port, {"VORSEL_PASSWORD=" + password});
    for (const auto& [name, bytes] : contents()) {
        const item_reply reply = get_item(port, name);  // the archive's own password serves
        EXPECT_EQ(reply.status_line, "HTTP/1.0 200 OK") << name;
        EXPECT_TRUE(reply.body == bytes) << name;
    }
    EXPECT_EQ(server->output().find(password), std::string::npos);
}

// Encrypted names on a terminal: "Password: " is asked without echo, up to three
// times; the right answer opens the archive, three wrong ones end the program.
TEST_F(EncryptedAndSplit, EncryptedNamesAskThePasswordAtTheTerminal)
{
    const std::string archive = make("names.7z", {"-p" + password, "-mhe=on"});
    process_options terminal;
    terminal.terminal = true;
    terminal.working_directory = folder_.path();
    terminal.environment = {"BROWSER=/bin/true"};
    {
        running_program program(VORSEL_EXECUTABLE, {archive}, terminal);
        ASSERT_TRUE(program.wait_for_output("Password: ")) << program.output();
        program.write_input("wrong\n");
        // Each answer's line end shows, then the next question.
        ASSERT_TRUE(program.wait_for_output("Password: \nPassword: ")) << program.output();
        program.write_input(password + "\n");
        ASSERT_TRUE(program.wait_for_output("Press Ctrl+C to stop.\n")) << program.output();
        const unsigned short port = program.wait_for_port();
        const item_reply reply = get_item(port, "notes.txt");
        EXPECT_EQ(reply.status_line, "HTTP/1.0 200 OK");
        EXPECT_TRUE(reply.body == contents()["notes.txt"]);
        EXPECT_EQ(program.output().find("wrong"), std::string::npos) << "echoed: " << program.output();
        EXPECT_EQ(program.output().find(password), std::string::npos) << "echoed: " << program.output();
    }
    running_program program(VORSEL_EXECUTABLE, {archive}, terminal);
    std::string questions = "Password: ";
    for (int i = 0; i < 3; ++i, questions += "\nPassword: ") {
        ASSERT_TRUE(program.wait_for_output(questions)) << program.output();
        program.write_input("wrong" + std::to_string(i) + "\n");
    }
    ASSERT_TRUE(program.wait_for_output("Can not get input class object\n")) << program.output();
    EXPECT_NE(program.output().find("\nWrong password\n"), std::string::npos);
    program.write_input("\n");  // the key it waits for
    EXPECT_EQ(program.wait_for_exit(), 3);
    EXPECT_EQ(program.output().find("wrong0"), std::string::npos) << program.output();

    // Ctrl+C at the question ends the program with the terminal's echo back on.
    running_program interrupted(VORSEL_EXECUTABLE, {archive}, terminal);
    ASSERT_TRUE(interrupted.wait_for_output("Password: ")) << interrupted.output();
    EXPECT_FALSE(interrupted.terminal_echoes());
    interrupted.write_input("half\x03");
    EXPECT_EQ(interrupted.wait_for_exit(), -1);
    EXPECT_TRUE(interrupted.terminal_echoes());
}

// Writes a zip archive that spans volumes the way pkzip cuts one: BASE.z01,
// BASE.z02, ... and BASE.zip last, each of VOLUME bytes; every header records the
// volume it lies in and its place there.
const char split_zip_script[] = R"(
import os, struct, sys, zlib
base, volume = sys.argv[1], int(sys.argv[2])
stream, central = bytearray(b'PK\x07\x08'), []
for name in sys.argv[3:]:
    data = open(name, 'rb').read()
    packer = zlib.compressobj(9, zlib.DEFLATED, -15)
    packed = packer.compress(data) + packer.flush()
    at, raw, crc = len(stream), os.path.basename(name).encode(), zlib.crc32(data)
    stream += struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, 0, 8, 0, 0x21, crc, len(packed), len(data), len(raw), 0)
    stream += raw + packed
    central.append((raw, crc, len(packed), len(data), at))
start = len(stream)
for raw, crc, packed, size, at in central:
    stream += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 20, 20, 0, 8, 0, 0x21, crc, packed, size, len(raw),
                          0, 0, at // volume, 0, 0, at % volume) + raw
last = len(stream) // volume
stream += struct.pack('<IHHHHIIH', 0x06054b50, last, start // volume,
                      len(central) if start // volume == last else 0, len(central), len(stream) - start,
                      start % volume, 0)
parts = [stream[i:i + volume] for i in range(0, len(stream), volume)]
for number, part in enumerate(parts, 1):
    open(base + ('.zip' if number == len(parts) else '.z%02d' % number), 'wb').write(part)
)";

// Sets of volumes open from their first part, and every item crosses the
// volumes' boundaries intact; with the middle volume gone, the console names it,
// the items it held answer 500 and the others are still served whole.
TEST_F(EncryptedAndSplit, VolumesOpenFromTheirFirstPart)
{
    const std::string src = folder_.path() + "src/";
    make("set.7z", {"-v1m"});
    make("set.zip", {"-tzip", "-v1m"});
    make("loose.7z", {"-v1m", "-ms=off"});
    run_python(split_zip_script, {src + "pk", "1048576", src + "notes.txt", src + "photo.bin", src + "movie.bin"});
    const struct {
        const char* first;
        const char* middle;  // a volume between the first and the last
    } cases[] = {
        {"set.7z.001", "set.7z.002"},
        {"set.zip.001", "set.zip.002"},
        {"loose.7z.001", "loose.7z.002"},
        {"pk.zip", "pk.z02"},
        {"pk.z01", "pk.z02"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        {
            unsigned short port = 0;
            auto server = start_server(VORSEL_EXECUTABLE, folder_.path(), src + c.first, port);
            const std::string listing = reply_body(http_get(port, "/ArchiveContent"));
            for (const auto& [name, bytes] : contents()) {
                EXPECT_NE(listing.find("\"" + name + "\""), std::string::npos) << listing;
                const item_reply reply = get_item(port, name);
                EXPECT_EQ(reply.status_line, "HTTP/1.0 200 OK") << name;
                EXPECT_TRUE(reply.body == bytes) << name << ": " << reply.body.size() << " bytes";
            }
            EXPECT_EQ(server->output().find("Missing volume"), std::string::npos) << server->output();
        }
        std::filesystem::rename(src + c.middle, src + "aside");
        unsigned short port = 0;
        auto server = start_server(VORSEL_EXECUTABLE, folder_.path(), src + c.first, port);
        ASSERT_TRUE(server->wait_for_output("Press Ctrl+C")) << server->output();
        EXPECT_NE(server->output().find(std::string("Missing volume: ") + c.middle + "\n"), std::string::npos)
            << server->output();
        // An item that is not served whole answers 500, or (one larger than a
        // streamed item's queue, whose head went out first) is cut short.
        int failed = 0;
        for (const auto& [name, bytes] : contents()) {
            const item_reply reply = get_item(port, name);
            if (reply.status_line == "HTTP/1.0 200 OK" && reply.body == bytes)
                continue;
            ++failed;
            const bool cut = reply.status_line == "HTTP/1.0 200 OK" && reply.body.size() < bytes.size();
            EXPECT_TRUE(reply.status_line == "HTTP/1.0 500 Internal Server Error" || cut) << name << reply.status_line;
        }
        EXPECT_GE(failed, 1) << "the 5 MiB item crosses the missing volume";
        std::filesystem::rename(src + "aside", src + c.middle);
    }
}

}  // namespace
