// Names that do not fit a Joliet record, and files too large for one ISO 9660 extent.

#include "burn/iso/iso_image.h"
#include "burn/iso/iso_image_file.h"
#include "burn/iso/iso_tables.h"
#include "tests/support/iso_oracle.h"
#include "tests/support/test_home.h"

#include <QDir>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

TEST(JolietNames, LongNamesAreCutUniqueAndReadableWhileTheTablesKeepThem)
{
    TestHome home;
    TIsoTables tables;
    std::vector<std::string> messages;
    tables.OnMessage = [&](int kind, const std::string& text) { messages.push_back(std::to_string(kind) + text); };
    const std::string stem(110, 'n');
    const QString dir = home.path("src");
    QDir().mkpath(dir);
    std::vector<QString> names;
    for (int i = 0; i < 3; ++i) {
        names.push_back(QString::fromStdString(stem + std::to_string(i) + ".txt"));  // 115 characters
        writeTestFile(dir + "/" + names.back(), QByteArray(100 + i, char('a' + i)));
        ASSERT_EQ(tables.InsertFile("\\", (dir + "/" + names.back()).toStdString(), false), 1);
    }
    // A directory name longer than any record, with a file in it.
    const std::string longDir(150, 'd');
    TDEntry* sub = tables.InsertDirectoryByName(tables.Root(), longDir, kAttrDirectory);
    ASSERT_TRUE(sub);
    writeTestFile(dir + "/inner.txt", "inner");
    ASSERT_EQ(tables.InsertFile(sub->path, (dir + "/inner.txt").toStdString(), false), 1);

    std::set<std::string> joliet;
    for (const TFEntry& f : tables.Files()) {
        EXPECT_LE(Ucs2Length(f.JolietName()), kJolietNameLimit) << f.longName;
        joliet.insert(TIsoTables::Upper(f.JolietName()));
    }
    EXPECT_EQ(joliet.size(), tables.Files().size());  // unique
    EXPECT_EQ(tables.Files()[0].longName, names[0].toStdString());  // kept as inserted
    EXPECT_EQ(sub->longName, longDir);
    EXPECT_EQ(tables.Files()[1].JolietName().substr(tables.Files()[1].JolietName().size() - 4), ".txt");

    TIsoImage image(tables);
    image.PrepareImage();
    const QString iso = home.path("long.iso");
    std::string error;
    ASSERT_TRUE(WriteImageFile(image, tables, iso.toStdString(), &error)) << error;
    if (!haveOracles())
        GTEST_SKIP() << "xorriso and isoinfo are needed";
    const OracleRun list = runOracle("xorriso", {"-indev", iso, "-find", "/", "-type", "f"});
    int files = 0;
    for (const QString& line : list.out.split('\n'))
        files += line.startsWith("'/") ? 1 : 0;
    EXPECT_EQ(files, 4) << list.out.toStdString();
    const QString out = home.path("out");
    ASSERT_EQ(runOracle("xorriso", {"-osirrox", "on", "-indev", iso, "-extract", "/", out}).status, 0);
    QDir extracted(out);
    QStringList got = extracted.entryList(QDir::Files);
    ASSERT_EQ(got.size(), 3);
    got.sort();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(readTestFile(out + "/" + got[i]).size(), 100 + i);
    const QStringList dirs = extracted.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(dirs.size(), 1);
    EXPECT_EQ(readTestFile(out + "/" + dirs[0] + "/inner.txt"), "inner");
    EXPECT_TRUE(runOracle("isoinfo", {"-J", "-l", "-i", iso}).status == 0);
}

TEST(JolietNames, AFileOf4GiBIsRefusedWithAMessage)
{
    TestHome home;
    TIsoTables tables;
    std::vector<std::string> messages;
    tables.OnMessage = [&](int kind, const std::string& text) { messages.push_back(std::to_string(kind) + ":" + text); };
    const QString big = home.path("big.bin"), fits = home.path("fits.bin");
    writeTestFile(big, "");
    writeTestFile(fits, "");
    ASSERT_EQ(::truncate(big.toLocal8Bit().constData(), 4294967296LL), 0);  // sparse
    ASSERT_EQ(::truncate(fits.toLocal8Bit().constData(), 4294967295LL), 0);
    EXPECT_EQ(tables.InsertFile("\\", big.toStdString(), false), 1);
    EXPECT_EQ(tables.FileCount(), 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "4:FILE TOO LARGE FOR THE DISC'S FILE SYSTEM (4 GB OR MORE): " + big.toStdString());
    EXPECT_EQ(tables.InsertFile("\\", fits.toStdString(), false), 1);
    ASSERT_EQ(tables.FileCount(), 1);
    EXPECT_EQ(tables.Files()[0].size, 4294967295LL);
}
