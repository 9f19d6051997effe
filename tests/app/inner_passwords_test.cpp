// Passwords through archives inside archives, through the real executable:
// the request's password opens an archive that an encrypted item holds, and
// decodes an encrypted item (or the encrypted names) of an archive inside;
// no password or a wrong one answers 401, so that the page asks for it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/archive_tools.h"
#include "tests/support/known_bytes.h"
#include "tests/support/raw_http.h"
#include "tests/support/running_program.h"
#include "tests/support/temp_folder.h"

using namespace test_support;

namespace {

const std::string password = "Open sesame+%";
const std::string password_header = "Open%20sesame%2B%25";

struct encryption {
    const char* name;
    const char* extension;
    const char* options;  // the 7z tool's, besides the password
    bool names_encrypted;
};

const encryption encryptions[] = {
    {"ZipCrypto", "zip", "-tzip -mem=ZipCrypto", false},
    {"WinZip AES", "zip", "-tzip -mem=AES256", false},
    {"7z AES", "7z", "-t7z", false},
    {"7z AES with encrypted names", "7z", "-t7z -mhe=on", true},
};

struct reply_parts {
    std::string status_line;
    std::string body;
};

reply_parts get(unsigned short port, const std::string& target, const std::string& header)
{
    std::string request = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n";
    if (!header.empty())
        request += "X-Archive-Password: " + header + "\r\n";
    const std::string whole = http_exchange(port, request + "\r\n");
    return {reply_status_line(whole), reply_body(whole)};
}

const char ok[] = "HTTP/1.0 200 OK";
const char unauthorized[] = "HTTP/1.0 401 Unauthorized";

class InnerPasswords : public ::testing::Test {
protected:
    void SetUp() override
    {
        work_.write_file("in/secret.txt", secret_);
        work_.write_file("in/more/big.bin", big_);
        work_.make_folder("scratch");
    }

    // Encrypts the folder "in" into `name` (in the work folder).
    void encrypt(const encryption& kind, const std::string& name)
    {
        run_in(work_.path() + "in", std::string("7z a -bd -bso0 ") + kind.options + " '-p" + password + "' ../" +
                                        name + " secret.txt more");
    }

    std::unique_ptr<running_program> serve(const std::string& archive, unsigned short& port)
    {
        return start_server(VORSEL_EXECUTABLE, work_.path(), archive, port, {"TMPDIR=" + work_.path() + "scratch"});
    }

    const std::string secret_ = "the secret text\n";
    const std::string big_ = known_bytes(600000, 5);
    temp_folder work_;
};

}  // namespace

TEST_F(InnerPasswords, AnEncryptedItemInsideAnInnerArchiveTakesTheRequestsPassword)
{
    for (const encryption& kind : encryptions) {
        SCOPED_TRACE(kind.name);
        const std::string inner = std::string("inner.") + kind.extension;
        std::filesystem::remove(work_.path() + inner);
        encrypt(kind, inner);
        // A second item, so that the tar is served itself rather than as the chain of its one item.
        run_in(work_.path(), "rm -f outer.tar && tar cf outer.tar " + inner + " in/secret.txt");
        unsigned short port = 0;
        auto program = serve("outer.tar", port);
        ASSERT_NE(port, 0);
        const std::string base = "/ArchiveContent/" + inner;

        const reply_parts listed = get(port, base + "?list", password_header);
        EXPECT_EQ(listed.status_line, ok);
        EXPECT_NE(listed.body.find("secret.txt"), std::string::npos) << listed.body;
        EXPECT_EQ(get(port, base + "?list", "").status_line, kind.names_encrypted ? unauthorized : ok);
        EXPECT_EQ(get(port, base + "?list", "wrong").status_line, kind.names_encrypted ? unauthorized : ok);

        for (const auto& [path, bytes] : {std::pair{"/secret.txt", secret_}, std::pair{"/more/big.bin", big_}}) {
            SCOPED_TRACE(path);
            const reply_parts right = get(port, base + path, password_header);
            EXPECT_EQ(right.status_line, ok);
            EXPECT_TRUE(right.body == bytes) << right.body.size() << " bytes";
            EXPECT_EQ(get(port, base + path, "").status_line, unauthorized);
            EXPECT_EQ(get(port, base + path, "wrong").status_line, unauthorized);
        }
        // The right password once does not open the way for requests without it.
        EXPECT_EQ(get(port, base + "/secret.txt", "").status_line, unauthorized);
    }
}

TEST_F(InnerPasswords, AnArchiveInsideAnEncryptedItemOpensWithTheRequestsPassword)
{
    run_in(work_.path() + "in", "7z a -bd -bso0 -tzip ../plain.zip secret.txt more");
    for (const encryption& kind : encryptions) {
        if (kind.names_encrypted)
            continue;  // the outer archive's names would need a password at the start
        SCOPED_TRACE(kind.name);
        const std::string outer = std::string("outer.") + kind.extension;
        std::filesystem::remove(work_.path() + outer);
        run_in(work_.path(), std::string("7z a -bd -bso0 ") + kind.options + " '-p" + password + "' " + outer +
                                 " plain.zip");
        unsigned short port = 0;
        auto program = serve(outer, port);
        ASSERT_NE(port, 0);

        const reply_parts listed = get(port, "/ArchiveContent/plain.zip?list", password_header);
        EXPECT_EQ(listed.status_line, ok);
        EXPECT_NE(listed.body.find("secret.txt"), std::string::npos) << listed.body;
        EXPECT_EQ(get(port, "/ArchiveContent/plain.zip?list", "").status_line, unauthorized);
        EXPECT_EQ(get(port, "/ArchiveContent/plain.zip?list", "wrong").status_line, unauthorized);

        const reply_parts item = get(port, "/ArchiveContent/plain.zip/more/big.bin", password_header);
        EXPECT_EQ(item.status_line, ok);
        EXPECT_TRUE(item.body == big_) << item.body.size() << " bytes";
        EXPECT_EQ(get(port, "/ArchiveContent/plain.zip/secret.txt", "").status_line, unauthorized);
        EXPECT_EQ(get(port, "/ArchiveContent/plain.zip/secret.txt", "wrong").status_line, unauthorized);
        // And the search inside it takes the same password.
        const reply_parts search =
            get(port, "/ArchiveContent/plain.zip?search=" + std::string("secret"), password_header);
        EXPECT_EQ(search.status_line, ok);
        EXPECT_NE(search.body.find("secret.txt"), std::string::npos) << search.body;
    }
}
