// SHA-256 against the test vectors of the standard and against sha256sum; checksum lists in
// sha256sum's line format, written and read, and the lines that are no checksum lines.

#include "core/base/checksum_list.h"
#include "core/base/sha256.h"
#include "tests/support/test_home.h"

#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

const std::string kAbc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const std::string kEmpty = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

}  // namespace

TEST(Sha256, StandardTestVectors)
{
    struct Case {
        std::string message;
        std::string digest;
    };
    const Case cases[] = {
        {"", kEmpty},
        {"abc", kAbc},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.size());
        EXPECT_EQ(Sha256Hex(c.message), c.digest);
        // Fed in uneven pieces, and again after Finish started it anew.
        TSha256 h;
        h.Add("x", 1);
        (void)h.Finish();
        for (std::size_t at = 0; at < c.message.size();) {
            const std::size_t n = std::min<std::size_t>(c.message.size() - at, 1 + at % 97);
            h.Add(c.message.data() + at, n);
            at += n;
        }
        EXPECT_EQ(h.FinishHex(), c.digest);
    }
}

TEST(Sha256, FilesAgreeWithSha256sumAndSpecialFilesAreRefused)
{
    TestHome home;
    std::string big(3 << 20, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 7919) >> 3);
    ASSERT_TRUE(writeTestFile(home.path("big"), QByteArray::fromStdString(big)));
    QProcess oracle;
    oracle.start("sha256sum", {home.path("big")});
    ASSERT_TRUE(oracle.waitForFinished(30000));
    const std::string expected = oracle.readAllStandardOutput().left(64).toStdString();
    ASSERT_EQ(expected.size(), 64u);

    std::string hex, reason;
    int64_t size = 0;
    ASSERT_TRUE(Sha256OfFile(home.path("big").toStdString(), &hex, &reason, &size)) << reason;
    EXPECT_EQ(hex, expected);
    EXPECT_EQ(size, int64_t(big.size()));

    ASSERT_EQ(::mkfifo(home.path("fifo").toLocal8Bit().constData(), 0600), 0);
    EXPECT_FALSE(Sha256OfFile(home.path("fifo").toStdString(), &hex, &reason));
    EXPECT_EQ(reason, "not a regular file");
    EXPECT_FALSE(Sha256OfFile(home.path("none").toStdString(), &hex, &reason));
    EXPECT_FALSE(Sha256OfFile(home.path("").toStdString(), &hex, &reason));  // a directory
}

TEST(ChecksumList, LinesAreWrittenAsSha256sumWritesThem)
{
    struct Case {
        std::string name, line;
    };
    const Case cases[] = {
        {"a.txt", kAbc + "  a.txt\n"},
        {"raport zażółć.txt", kAbc + "  raport zażółć.txt\n"},
        {"back\\slash", "\\" + kAbc + "  back\\\\slash\n"},
        {"two\nlines", "\\" + kAbc + "  two\\nlines\n"},
        {"tab\there", kAbc + "  tab\there\n"},  // a TAB needs no escape in these lists
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FormatChecksumLine(kAbc, c.name), c.line);
        const TChecksumParse parsed = ParseChecksumList(c.line);
        ASSERT_EQ(parsed.lines.size(), 1u);
        EXPECT_EQ(parsed.lines[0].name, c.name);
        EXPECT_EQ(parsed.lines[0].hex, kAbc);
        EXPECT_TRUE(parsed.badLines.empty());
    }
}

TEST(ChecksumList, Sha256sumChecksTheListsThisProgramWrites)
{
    TestHome home;
    const std::string names[] = {"plain.txt", "zażółć gęślą.txt", "with\\backslash.txt"};
    std::string list = FormatVersionHeader("vobrelfm report checksums", 1);
    for (const std::string& name : names) {
        ASSERT_TRUE(writeTestFile(home.path(QString::fromStdString(name)), QByteArray::fromStdString(name)));
        list += FormatChecksumLine(Sha256Hex(name), name);
    }
    ASSERT_TRUE(writeTestFile(home.path("SUMS"), QByteArray::fromStdString(list)));
    QProcess oracle;
    oracle.setWorkingDirectory(home.path(""));
    oracle.start("sha256sum", {"--strict", "-c", "SUMS"});
    ASSERT_TRUE(oracle.waitForFinished(30000));
    EXPECT_EQ(oracle.exitCode(), 0) << oracle.readAllStandardOutput().toStdString()
                                    << oracle.readAllStandardError().toStdString();
    EXPECT_EQ(oracle.readAllStandardOutput().count(": OK\n"), 3);
}

TEST(ChecksumList, ReadsWhatIsAListLineAndCountsTheRest)
{
    struct Case {
        const char* what;
        std::string content;
        std::vector<std::string> names;
        std::vector<int> bad;
        int version;
    };
    const std::string upper = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";
    const Case cases[] = {
        {"header and lines", "# t, version 1\n" + kAbc + "  a\n" + kEmpty + " *b\n", {"a", "b"}, {}, 1},
        {"CR LF ends and empty lines", kAbc + "  a\r\n\r\n\n" + kAbc + "  b\r\n", {"a", "b"}, {}, 0},
        {"no end of the last line", kAbc + "  a", {"a"}, {}, 0},
        {"upper-case digits", upper + "  a\n", {"a"}, {}, 0},
        {"a newer version", "# t, version 7\n" + kAbc + "  a\n", {"a"}, {}, 7},
        {"another title is a comment", "# other, version 9\n", {}, {}, 0},
        {"a header that is not first is a comment", kAbc + "  a\n# t, version 9\n", {"a"}, {}, 0},
        {"a bad version", "# t, version x\n", {}, {1}, 0},
        {"a short digest", kAbc.substr(1) + "  a\n", {}, {1}, 0},
        {"no name", kAbc + "  \n", {}, {1}, 0},
        {"one blank", kAbc + " a\n", {}, {1}, 0},
        {"not hex", std::string(64, 'g') + "  a\n", {}, {1}, 0},
        {"a bad escape", "\\" + kAbc + "  a\\q\n", {}, {1}, 0},
        {"an escape at the end", "\\" + kAbc + "  a\\\n", {}, {1}, 0},
        {"garbage between", kAbc + "  a\nxyz\n\x01\x02\n" + kAbc + "  b\n", {"a", "b"}, {2, 3}, 0},
        {"a zero byte in the name", kAbc + "  a" + std::string(1, '\0') + "b\n", {std::string("a\0b", 3)}, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TChecksumParse parsed = ParseChecksumList(c.content, "t");
        std::vector<std::string> names;
        for (const TChecksumLine& l : parsed.lines)
            names.push_back(l.name);
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(parsed.badLines, c.bad);
        EXPECT_EQ(parsed.version, c.version);
    }
    // Digests are kept in lower case, as sha256sum writes them.
    const TChecksumParse parsed = ParseChecksumList(upper + "  a\n" + kEmpty + " *b\n");
    ASSERT_EQ(parsed.lines.size(), 2u);
    EXPECT_EQ(parsed.lines[0].hex, kAbc);
    EXPECT_EQ(parsed.lines[1].hex, kEmpty);
}

TEST(ChecksumList, SideFileFieldsEscapeTabsToo)
{
    struct Case {
        std::string name, escaped;
    };
    const Case cases[] = {
        {"a\tb", "a\\tb"}, {"a\\b", "a\\\\b"}, {"a\nb\rc", "a\\nb\\rc"}, {"zażółć", "zażółć"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.escaped);
        EXPECT_EQ(EscapeName(c.name, true), c.escaped);
        std::string back;
        ASSERT_TRUE(UnescapeName(c.escaped, &back));
        EXPECT_EQ(back, c.name);
    }
    std::string out;
    EXPECT_FALSE(UnescapeName("a\\x", &out));
    EXPECT_FALSE(UnescapeName("a\\", &out));
}
