// The catalogue shared by instances of the program on one program folder: merged under a
// lock when written, never written by the listing, failures to write reported.

#include "core/safe_file.h"
#include "core/settings.h"
#include "reports/catalogue.h"
#include "reports/catalogue_merge.h"
#include "tests/support/test_home.h"
#include "tests/support/write_faults.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <gtest/gtest.h>

namespace {

const QDateTime kT0(QDate(2024, 3, 14), QTime(9, 0, 0));

TCatalogueEntry entry(const char* caption, int seconds)
{
    return {kT0.addSecs(seconds), caption, QByteArray("/r/") + caption, "Detail"};
}

QList<QByteArray> captions(const std::vector<TCatalogueEntry>& entries)
{
    QList<QByteArray> out;
    for (const TCatalogueEntry& e : entries)
        out << e.Caption;
    return out;
}

QList<QByteArray> captionsOnDisk()
{
    TCatalogue c;
    c.LoadCatalogue(Settings().DataDir + "fmList.txt");
    return captions(c.Entries());
}

}  // namespace

TEST(CatalogueMerge, TakesWhatOthersAddedAndDeletedAndKeepsTheNewerOfOneName)
{
    const std::vector<TCatalogueEntry> base {entry("a.txt", 0), entry("b.txt", 0), entry("c.txt", 0)};
    // Here b was deleted and d added; elsewhere a was deleted, e and an older D added.
    const std::vector<TCatalogueEntry> ours {entry("a.txt", 0), entry("c.txt", 0), entry("d.txt", 10)};
    const std::vector<TCatalogueEntry> theirs {entry("b.txt", 0), entry("c.txt", 0), entry("e.txt", 5),
                                               entry("D.TXT", 1)};
    EXPECT_EQ(captions(MergeCatalogues(base, ours, theirs)), (QList<QByteArray>{"c.txt", "d.txt", "e.txt"}));

    // A newer download of a name elsewhere replaces the entry here, at the end.
    const std::vector<TCatalogueEntry> newer {entry("a.txt", 0), entry("b.txt", 0), entry("c.txt", 0),
                                              entry("A.txt", 30)};
    EXPECT_EQ(captions(MergeCatalogues(base, base, newer)),
              (QList<QByteArray>{"b.txt", "c.txt", "A.txt"}));
    // Nothing changed elsewhere: this instance's table as it is.
    EXPECT_EQ(captions(MergeCatalogues(base, ours, base)), captions(ours));
}

TEST(DataModule, TwoInstancesOnOneFolderKeepEachOthersEntries)
{
    TestHome home;
    QStringList errors;
    auto onError = [&errors](const QString& e) { errors << e; };
    {
        Tdm first(onError), second(onError);
        first.fmRpt.AddReport(Settings().ReportDir + "a_1_2.txt", "Detail", kT0);
        second.fmRpt.AddReport(Settings().ReportDir + "b_1_2.txt", "Detail", kT0.addSecs(1));
        first.Close();
    }
    EXPECT_EQ(captionsOnDisk(), (QList<QByteArray>{"b_1_2.txt", "a_1_2.txt"}));
    {
        // One deletes a, the other adds c: a stays deleted, c comes in.
        Tdm first(onError), second(onError);
        ASSERT_TRUE(first.fmRpt.Locate("a_1_2.txt"));
        first.fmRpt.DeleteCurrent();
        second.fmRpt.AddReport(Settings().ReportDir + "c_1_2.txt", "Summary", kT0.addSecs(2));
    }
    EXPECT_EQ(captionsOnDisk(), (QList<QByteArray>{"b_1_2.txt", "c_1_2.txt"}));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST(DataModule, ListingReadsWithoutCreatingOrWritingAnything)
{
    TestHome home;
    QStringList errors;
    {
        Tdm dm([&errors](const QString& e) { errors << e; }, TdmMode::ReadOnly);
        EXPECT_TRUE(dm.fmRpt.IsEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists(Settings().DataDir));
    EXPECT_FALSE(QFileInfo::exists(Settings().ReportDir));

    // A file in another field order with LF line ends: read, and left byte for byte.
    QDir().mkpath(Settings().DataDir);
    const QByteArray content = "Caption\tsType\nx.txt\tDetail\ny.txt\tSummary\n";
    ASSERT_TRUE(writeTestFile(Settings().DataDir + "fmList.txt", content));
    {
        Tdm dm([&errors](const QString& e) { errors << e; }, TdmMode::ReadOnly);
        ASSERT_EQ(dm.fmRpt.Count(), 2);
        EXPECT_EQ(dm.fmRpt.Entry(1).sType, "Summary");
        dm.fmRpt.DeleteCurrent();
        dm.Save();
    }
    EXPECT_EQ(readTestFile(Settings().DataDir + "fmList.txt"), content);
    EXPECT_EQ(QDir(Settings().DataDir).entryList(QDir::Files | QDir::Hidden), QStringList{"fmList.txt"});
    EXPECT_TRUE(errors.isEmpty());
}

TEST(DataModule, CatalogueThatCannotBeWrittenIsReportedAndTheOldOneStays)
{
    TestHome home;
    {
        Tdm dm([](const QString&) {});
        dm.fmRpt.AddReport(Settings().ReportDir + "a_1_2.txt", "Detail", kT0);
    }
    const QByteArray before = readTestFile(Settings().DataDir + "fmList.txt");
    ASSERT_FALSE(before.isEmpty());
    QStringList errors;
    {
        Tdm dm([&errors](const QString& e) { errors << e; });
        dm.fmRpt.AddReport(Settings().ReportDir + "b_1_2.txt", "Detail", kT0);
        const FailingRenames faults(ENOSPC);
        try {
            dm.Close();
            ADD_FAILURE() << "a catalogue that was not written was reported as written";
        } catch (const FileError& e) {
            EXPECT_EQ(QString(e.what()), "Unable to write to " + Settings().DataDir + "fmList.txt");
        }
    }
    EXPECT_TRUE(errors.isEmpty());  // closed already: the exit writes nothing more
    EXPECT_EQ(readTestFile(Settings().DataDir + "fmList.txt"), before);
}
