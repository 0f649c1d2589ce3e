// The side files of the archive in the data folder: the report checksums and the archive
// record. Written whole under the catalogue's lock and merged; damaged, huge, special or
// newer files give a clear error and lose nothing; fmList.txt stays as it was.

#include "core/base/extra_texts.h"
#include "core/base/sha256.h"
#include "core/base/whole_file.h"
#include "reports/archive_record.h"
#include "reports/catalogue.h"
#include "reports/report_checksums.h"
#include "tests/support/fifo_unblocker.h"
#include "tests/support/test_home.h"
#include "tests/support/write_faults.h"

#include <QDir>
#include <QLocale>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

const std::string kA(64, 'a'), kB(64, 'b'), kC(64, 'c');
const QByteArray kHeader = "# vobrelfm report checksums, version 1\n";
const QByteArray kRecordHeader = "# vobrelfm archive record, version 1\n";

struct DataFolder {
    TestHome home;
    QString sums = home.path("data/fmList.sha256");
    QString record = home.path("data/fmArchive.txt");
    DataFolder() { QDir().mkpath(home.path("data")); }
};

std::vector<std::string> namesOf(const TReportChecksums& s)
{
    std::vector<std::string> out;
    for (const TChecksumLine& l : s.Lines())
        out.push_back(l.name + "=" + l.hex.substr(0, 1));
    return out;
}

TArchiveEntry archived(const std::string& name, const std::string& hex, int session = 1)
{
    return {"2026-12-09T22:30:00+01:00", "2026120922150000", "0,0,0 EMULATED\tCD-RW", session, hex, name};
}

}  // namespace

TEST(ReportChecksums, RecordsReplaceTheLineOfANameAndKeepTheOthers)
{
    DataFolder d;
    QString message;
    ASSERT_TRUE(RecordReportChecksum(d.sums, "a_1_5.txt", kA, &message)) << message.toStdString();
    ASSERT_TRUE(RecordReportChecksum(d.sums, "zażółć_1_2.txt", kB, &message));
    ASSERT_TRUE(RecordReportChecksum(d.sums, "A_1_5.TXT", kC, &message));  // the catalogue's rule: case ignored
    EXPECT_TRUE(message.isEmpty());
    EXPECT_EQ(readTestFile(d.sums), kHeader + QByteArray::fromStdString(kB + "  zażółć_1_2.txt\n" + kC + "  A_1_5.TXT\n"));
    TReportChecksums sums;
    QString error;
    ASSERT_TRUE(sums.Load(d.sums, &error));
    ASSERT_NE(sums.Find("a_1_5.txt"), nullptr);
    EXPECT_EQ(sums.Find("a_1_5.txt")->hex, kC);
    ASSERT_NE(sums.Find("ZAŻÓŁĆ_1_2.txt"), nullptr);
    EXPECT_EQ(sums.Find("none.txt"), nullptr);
}

TEST(ReportChecksums, AnotherInstancesLinesWrittenMeanwhileAreKept)
{
    DataFolder d;
    QString message;
    ASSERT_TRUE(RecordReportChecksum(d.sums, "mine.txt", kA, &message));
    // Another instance adds a line between two records of this one.
    QByteArray content = readTestFile(d.sums) + QByteArray::fromStdString(kB + "  theirs.txt\n");
    ASSERT_TRUE(writeTestFile(d.sums, content));
    ASSERT_TRUE(RecordReportChecksum(d.sums, "mine2.txt", kC, &message));
    TReportChecksums sums;
    ASSERT_TRUE(sums.Load(d.sums, &message));
    EXPECT_EQ(namesOf(sums), (std::vector<std::string>{"mine.txt=a", "theirs.txt=b", "mine2.txt=c"}));
}

// The readers' messages have the shape of their replaceable texts, so that a language
// file rewords them in the burn window.
TEST(ReportChecksums, MessagesHaveTheShapeOfTheirReplaceableTexts)
{
    DataFolder d;
    const QByteArray good = QByteArray::fromStdString(kA + "  good.txt\n");
    ASSERT_TRUE(writeTestFile(d.sums, kHeader + good + "garbage\n"));
    QString damaged;
    EXPECT_TRUE(RecordReportChecksum(d.sums, "new.txt", kB, &damaged));
    ASSERT_TRUE(writeTestFile(d.sums, "# vobrelfm report checksums, version 2\n" + good));
    QString newer;
    TReportChecksums sums;
    EXPECT_FALSE(sums.Load(d.sums, &newer));
    for (auto [key, text] : {std::pair{"ChecksumsDamaged", "D %1 %2 %3"}, {"FileKeptAsBackup", "%1 / B %2"},
                             {"FileNewerVersion", "N %1 %2"}})
        ASSERT_TRUE(extra::SetText(key, text));
    const std::string path = d.sums.toStdString();
    EXPECT_EQ(extra::Reword(damaged.toStdString()), "D " + path + " 3 1 / B " + path);
    EXPECT_EQ(extra::Reword(newer.toStdString()), "N " + path + " 2");
    extra::ResetToDefaults();
}

TEST(ReportChecksums, BadFilesGiveAClearErrorAndLoseNothing)
{
    struct Case {
        const char* what;
        QByteArray content;   // empty: made by `make`
        bool recorded;        // a new checksum is written
        bool keptInBak;       // the old bytes are kept beside
        const char* error;    // part of the message
        std::vector<std::string> loaded;  // what Load still reads
    };
    const QByteArray good = QByteArray::fromStdString(kA + "  good.txt\n");
    const Case cases[] = {
        {"damaged", kHeader + good + "garbage\n\x01\x02\x03\n", true, true, "line 3 is no checksum line", {"good.txt=a"}},
        {"newer version", "# vobrelfm report checksums, version 2\n" + good, false, false, "newer version", {}},
        {"huge", {}, false, false, "larger than 16 MiB", {}},
        {"a FIFO", {}, false, false, "not a regular file", {}},
        {"a directory", {}, false, false, "not a regular file", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DataFolder d;
        const QByteArray native = QFile::encodeName(d.sums);
        if (!qstrcmp(c.what, "huge"))
            ASSERT_TRUE(writeTestFile(d.sums, kHeader + QByteArray(17 << 20, '#')));
        else if (!qstrcmp(c.what, "a FIFO"))
            ASSERT_EQ(::mkfifo(native.constData(), 0600), 0);
        else if (!qstrcmp(c.what, "a directory"))
            ASSERT_TRUE(QDir().mkpath(d.sums));
        else
            ASSERT_TRUE(writeTestFile(d.sums, c.content));
        FifoUnblocker unblock(native);
        const QByteArray before = QFileInfo(d.sums).isFile() ? readTestFile(d.sums) : QByteArray();

        QString message;
        EXPECT_EQ(RecordReportChecksum(d.sums, "new.txt", kB, &message), c.recorded);
        EXPECT_TRUE(message.contains(c.error)) << message.toStdString();
        if (c.keptInBak) {
            EXPECT_EQ(readTestFile(d.sums + ".bak"), before);
        } else if (QFileInfo(d.sums).isFile()) {
            EXPECT_EQ(readTestFile(d.sums), before);
        }
        EXPECT_EQ(QFileInfo(d.sums).isFile(), c.recorded || !before.isEmpty());

        TReportChecksums sums;
        QString error;
        if (c.recorded) {
            // The damaged lines are in the copy; the file itself now reads whole.
            EXPECT_TRUE(sums.Load(d.sums, &error)) << error.toStdString();
            EXPECT_EQ(namesOf(sums), (std::vector<std::string>{"good.txt=a", "new.txt=b"}));
        } else {
            EXPECT_FALSE(sums.Load(d.sums, &error));
            EXPECT_TRUE(error.contains(c.error)) << error.toStdString();
            EXPECT_EQ(namesOf(sums), c.loaded);
        }
    }
}

TEST(ReportChecksums, AFailedWriteKeepsTheOldFileWhole)
{
    DataFolder d;
    QString message;
    ASSERT_TRUE(RecordReportChecksum(d.sums, "old.txt", kA, &message));
    const QByteArray before = readTestFile(d.sums);
    {
        FailingRenames full(ENOSPC);
        EXPECT_FALSE(RecordReportChecksum(d.sums, "new.txt", kB, &message));
        EXPECT_TRUE(message.contains("No space left on device")) << message.toStdString();
    }
    EXPECT_EQ(readTestFile(d.sums), before);
    EXPECT_EQ(QDir(d.home.path("data")).entryList(QDir::Files),
              (QStringList{"fmList.lock", "fmList.sha256"}));  // no temporary left
}

TEST(ArchiveRecord, LinesAreAddedAndReadBackWithEscapedFields)
{
    DataFolder d;
    QString message;
    ASSERT_TRUE(AppendArchiveRecord(d.record, {archived("a.txt", kA), archived("tab\there\\.txt", kB)}, &message));
    ASSERT_TRUE(AppendArchiveRecord(d.record, {archived("zażółć.txt", kC, 2)}, &message));
    EXPECT_EQ(readTestFile(d.record),
              kRecordHeader +
                  QByteArray::fromStdString(
                      "2026-12-09T22:30:00+01:00\t2026120922150000\t0,0,0 EMULATED\\tCD-RW\t1\t" + kA + "\ta.txt\n" +
                      "2026-12-09T22:30:00+01:00\t2026120922150000\t0,0,0 EMULATED\\tCD-RW\t1\t" + kB +
                      "\ttab\\there\\\\.txt\n" + "2026-12-09T22:30:00+01:00\t2026120922150000\t0,0,0 EMULATED\\tCD-RW\t2\t" +
                      kC + "\tzażółć.txt\n"));
    std::vector<TArchiveEntry> entries;
    ASSERT_TRUE(LoadArchiveRecord(d.record, &entries, &message)) << message.toStdString();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[1].name, "tab\there\\.txt");
    EXPECT_EQ(entries[1].drive, "0,0,0 EMULATED\tCD-RW");
    EXPECT_EQ(entries[2].session, 2);
}

TEST(ArchiveRecord, BadLinesAndFiles)
{
    const std::string good = "w\td\tdrive\t1\t" + kA + "\tn.txt";
    struct Case {
        const char* what;
        std::string line;
        bool ok;
    };
    const Case lines[] = {
        {"good", good, true},
        {"five fields", "w\td\tdrive\t1\t" + kA, false},
        {"session 0", "w\td\tdrive\t0\t" + kA + "\tn", false},
        {"session not a number", "w\td\tdrive\tx\t" + kA + "\tn", false},
        {"a bad digest", "w\td\tdrive\t1\t" + kA.substr(2) + "\tn", false},
        {"an empty name", "w\td\tdrive\t1\t" + kA + "\t", false},
        {"a bad escape", "w\\q\td\tdrive\t1\t" + kA + "\tn", false},
        {"a name with a raw TAB", "w\td\tdrive\t1\t" + kA + "\tn\tm", false},
    };
    for (const Case& c : lines) {
        SCOPED_TRACE(c.what);
        TArchiveEntry e;
        EXPECT_EQ(ParseArchiveLine(c.line, &e), c.ok);
    }

    DataFolder d;
    ASSERT_TRUE(writeTestFile(d.record, kRecordHeader + QByteArray::fromStdString(good + "\nbroken\n")));
    std::vector<TArchiveEntry> entries;
    QString message;
    EXPECT_FALSE(LoadArchiveRecord(d.record, &entries, &message));
    EXPECT_TRUE(message.contains("line 3")) << message.toStdString();
    EXPECT_EQ(entries.size(), 1u);
    const QByteArray damaged = readTestFile(d.record);
    ASSERT_TRUE(AppendArchiveRecord(d.record, {archived("x.txt", kB)}, &message));
    EXPECT_TRUE(message.contains(".bak")) << message.toStdString();
    EXPECT_EQ(readTestFile(d.record + ".bak"), damaged);
    ASSERT_TRUE(LoadArchiveRecord(d.record, &entries, &message));
    EXPECT_EQ(entries.size(), 2u);

    const QByteArray newer = "# vobrelfm archive record, version 3\nanything\n";
    ASSERT_TRUE(writeTestFile(d.record, newer));
    EXPECT_FALSE(AppendArchiveRecord(d.record, {archived("y.txt", kB)}, &message));
    EXPECT_TRUE(message.contains("newer version")) << message.toStdString();
    EXPECT_EQ(readTestFile(d.record), newer);
}

TEST(ArchiveRecord, AReportIsArchivedWhenARecordHoldsItAsItIsNow)
{
    DataFolder d;
    QString message;
    ASSERT_TRUE(RecordReportChecksum(d.sums, "same.txt", kA, &message));
    ASSERT_TRUE(RecordReportChecksum(d.sums, "redownloaded.txt", kB, &message));
    ASSERT_TRUE(RecordReportChecksum(d.sums, "never.txt", kC, &message));
    TReportChecksums sums;
    ASSERT_TRUE(sums.Load(d.sums, &message));
    const std::vector<TArchiveEntry> record = {archived("Same.txt", kA), archived("redownloaded.txt", kA),
                                               archived("other-file.bin", kC)};
    const QSet<QString> names = ArchivedReportNames(record, sums);
    EXPECT_EQ(names, (QSet<QString>{"same.txt", "other-file.bin"}));
}

TEST(ArchiveRecord, TheCatalogueMarksArchivedReportsAndFmListStaysAsItWas)
{
    TestHome home;
    if (QLocale::system().name() != QLatin1String("C"))
        GTEST_SKIP() << "the file below was written under the C locale";
    // fmList.txt as the program wrote it before there were checksums and archive records.
    const QByteArray before =
        "cDateTime\tCaption\tFileName\tsType\r\n"
        "14 Mar 2024 09:05:07\tRep_1_5.txt\t/home/u/Report/Rep_1_5.txt\tDetail\r\n"
        "15 Mar 2024\t\xB9\xEA_2_3.txt\t/home/u/Report/\xC4\x85\xC4\x99_2_3.txt\tSummary\r\n"
        "\t\t\t\r\n";
    TCatalogue c;
    c.LoadCatalogueContent(before, "fmList.txt");
    c.SetArchived({QStringLiteral("rep_1_5.txt"), QStringLiteral("ąę_2_3.txt")});
    EXPECT_TRUE(c.IsArchived(0));
    EXPECT_TRUE(c.IsArchived(1));
    EXPECT_FALSE(c.IsArchived(2));
    EXPECT_EQ(c.data(c.index(0, 1), Qt::DisplayRole).toString(), QStringLiteral("Rep_1_5.txt \u2713"));
    EXPECT_EQ(c.data(c.index(2, 1), Qt::DisplayRole).toString(), QString());
    EXPECT_EQ(c.CatalogueContent(), before);
    c.SaveCatalogue(home.path("fmList.txt"));
    EXPECT_EQ(readTestFile(home.path("fmList.txt")), before);
}
