#include "burn/iso/iso_image.h"
#include "burn/iso/iso_image_file.h"
#include "tests/support/iso_oracle.h"
#include "tests/support/program_run.h"
#include "tests/support/test_home.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

struct ImageRig {
    TestHome home;
    TIsoTables tables;
    TIsoImage image{tables};
    QString makeFile(const QString& name, int size)
    {
        const QString path = home.path("src/" + name);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        QByteArray data(size, '\0');
        for (int i = 0; i < size; ++i)
            data[i] = static_cast<char>((i * 7 + name.size()) & 0xFF);
        f.write(data);
        return path;
    }
    QString write(const QString& name = "t.iso")
    {
        image.PrepareImage();
        std::string error;
        const QString path = home.path(name);
        EXPECT_TRUE(WriteImageFile(image, tables, path.toStdString(), &error)) << error;
        return path;
    }
};

uint8_t at(const QByteArray& img, int sector, int offset)
{
    return static_cast<uint8_t>(img[sector * 2048 + offset]);
}

}  // namespace

TEST(IsoImage, OneFileOnABlankDiscWithJoliet)
{
    ImageRig r;
    const QString src = r.makeFile("report_1_5.txt", 5000);
    r.tables.InsertFile("\\", src.toStdString(), false);
    const QString iso = r.write();
    const QByteArray img = readTestFile(iso);
    ASSERT_EQ(img.size(), 300 * 2048);
    EXPECT_EQ(r.image.ImageEnd(), 153);
    EXPECT_EQ(r.image.ImageSectors(), 300);
    EXPECT_EQ(at(img, 16, 0), 1);
    EXPECT_EQ(img.mid(16 * 2048 + 1, 5), "CD001");
    EXPECT_EQ(at(img, 17, 0), 2);
    EXPECT_EQ(img.mid(17 * 2048 + 88, 3), QByteArray("\x25\x2F\x40"));
    EXPECT_EQ(img.mid(16 * 2048 + 88, 3), QByteArray(3, '\0'));
    EXPECT_EQ(at(img, 18, 0), 255);
    EXPECT_EQ(at(img, 16, 140), 19);  // ISO path table L
    EXPECT_EQ(at(img, 16, 151), 20);  // ISO path table M (big-endian)
    EXPECT_EQ(at(img, 17, 140), 21);
    EXPECT_EQ(at(img, 17, 151), 22);
    EXPECT_EQ(at(img, 16, 156 + 2), 23);  // ISO root
    EXPECT_EQ(at(img, 17, 156 + 2), 24);  // Joliet root
    EXPECT_EQ(at(img, 16, 80), 153);      // the session's length
    for (int s = 25; s < 150; ++s)
        ASSERT_EQ(img.mid(s * 2048, 2048), QByteArray(2048, '\0')) << s;
    EXPECT_EQ(img.mid(150 * 2048, 5000), readTestFile(src));
    // The ISO record of the file: extent 150, length 5000, identifier with ";1".
    const int rec = 23 * 2048 + 68;
    EXPECT_EQ(at(img, 23, 68 + 2), 150);
    EXPECT_EQ(img.mid(rec + 33, 14), "REPORT~1.TXT;1");

    if (!haveOracles())
        GTEST_SKIP() << "xorriso and isoinfo are needed (apt-get install xorriso genisoimage)";
    EXPECT_TRUE(runOracle("isoinfo", {"-l", "-i", iso}).out.contains("REPORT~1.TXT;1"));
    EXPECT_TRUE(runOracle("isoinfo", {"-J", "-l", "-i", iso}).out.contains("report_1_5.txt"));
    const QString out = r.home.path("out");
    const OracleRun x = runOracle("xorriso", {"-osirrox", "on", "-indev", iso, "-extract", "/", out});
    ASSERT_EQ(x.status, 0) << x.out.toStdString();
    EXPECT_EQ(readTestFile(out + "/report_1_5.txt"), readTestFile(src));
}

TEST(IsoImage, WithoutJolietTheStructuresMoveUp)
{
    ImageRig r;
    r.image.JolietFileSystem = false;
    r.tables.InsertFile("\\", r.makeFile("a.txt", 5000).toStdString(), false);
    const QByteArray img = readTestFile(r.write());
    EXPECT_EQ(at(img, 16, 0), 1);
    EXPECT_EQ(at(img, 17, 0), 255);
    EXPECT_EQ(at(img, 16, 140), 18);
    EXPECT_EQ(at(img, 16, 151), 19);
    EXPECT_EQ(at(img, 16, 156 + 2), 20);
    EXPECT_EQ(at(img, 20, 68 + 2), 150);
    EXPECT_EQ(r.image.ImageEnd(), 153);
}

TEST(IsoImage, SecondSessionAtSector20000)
{
    ImageRig r;
    r.image.ImageSessionStart = 20000;
    const QString src = r.makeFile("second.txt", 3000);
    r.tables.InsertFile("\\", src.toStdString(), false);
    r.image.PrepareImage();
    EXPECT_EQ(r.image.HeaderStream().size() % 2048, 0u);
    EXPECT_EQ(r.image.FirstFilePosition(), (20000 + 16 + 3 + 4 + 2) * 2048);  // no padding before the files
    EXPECT_EQ(r.image.ImageEnd(), 20000 + 25 + 2);
    EXPECT_EQ(r.image.ImageSectors(), 300);
    // A disc with a first session at 0 and this one at its sector, as burns would leave it.
    std::string error;
    const QString session = r.home.path("session.bin");
    ASSERT_TRUE(WriteImageFile(r.image, r.tables, session.toStdString(), &error)) << error;
    TIsoTables firstTables;
    firstTables.InsertFile("\\", r.makeFile("first.txt", 100).toStdString(), false);
    TIsoImage first(firstTables);
    first.PrepareImage();
    const QString disc = r.home.path("disc.iso");
    ASSERT_TRUE(WriteImageFile(first, firstTables, disc.toStdString(), &error)) << error;
    {
        QFile out(disc);
        ASSERT_TRUE(out.open(QIODevice::ReadWrite));
        out.resize(qint64(20000) * 2048);
        out.seek(qint64(20000) * 2048);
        out.write(readTestFile(session));
    }
    const QByteArray img = readTestFile(disc);
    EXPECT_EQ(at(img, 20016, 0), 1);
    EXPECT_EQ(at(img, 20016, 80), 27);  // the session's own length
    if (!haveOracles())
        GTEST_SKIP() << "xorriso and isoinfo are needed";
    const OracleRun info = runOracle("isoinfo", {"-T", "20000", "-i", disc, "-l"});
    EXPECT_TRUE(info.out.contains("SECOND.TXT;1")) << info.out.toStdString();
    const OracleRun x = runOracle("xorriso", {"-load", "sbsector", "20000", "-indev", disc, "-find", "/"});
    EXPECT_TRUE(x.out.contains("'/second.txt'")) << x.out.toStdString();
}

TEST(IsoImage, DirectorySizesPadsAndEmptyFiles)
{
    ImageRig r;
    TDEntry* dir = r.tables.InsertDirectoryByName(r.tables.Root(), "full", kAttrDirectory);
    ASSERT_TRUE(dir);
    // 45 records of 44 bytes after "." and "..": exactly one sector.
    for (int i = 1; i <= 45; ++i)
        r.tables.InsertFile("\\FULL", r.makeFile(QString("f%1.txt").arg(i, 4, 10, QChar('0')), 1).toStdString(), false);
    EXPECT_EQ(TIsoImage::IsoDirectorySize(*dir), 2048);
    r.tables.InsertFile("\\FULL", r.makeFile("f0046.txt", 1).toStdString(), false);
    EXPECT_EQ(TIsoImage::IsoDirectorySize(*dir), 4096);

    const QString empty = r.makeFile("empty.txt", 0);
    r.tables.InsertFile("\\", empty.toStdString(), false);
    r.tables.InsertFile("\\", r.makeFile("sixsix", 10).toStdString(), false);  // "SIXSIX.;1": odd, no pad
    r.tables.InsertFile("\\", r.makeFile("abcd.ef", 10).toStdString(), false);  // "ABCD.EF;1": 9
    r.tables.InsertFile("\\", r.makeFile("abcde.fg", 10).toStdString(), false); // "ABCDE.FG;1": 10, padded
    const QString iso = r.write();
    for (const TFEntry& f : r.tables.Files()) {
        if (f.longName == "empty.txt") {
            EXPECT_EQ(f.isoExtent, 0);
            EXPECT_EQ(f.size, 0);
        }
    }
    EXPECT_EQ(r.image.FileSectors(), 46 + 3);
    const QByteArray img = readTestFile(iso);
    const int root = static_cast<int>(r.image.IsoDirectoryAreaSector());
    // Walk the root's records and check lengths.
    int offset = 68;
    std::map<QByteArray, int> lengths;
    while (at(img, root, offset) != 0) {
        const int len = at(img, root, offset);
        const int idLen = at(img, root, offset + 32);
        lengths[img.mid(root * 2048 + offset + 33, idLen)] = len;
        offset += len;
    }
    EXPECT_EQ(lengths["ABCDE.FG;1"], 33 + 10 + 1);
    EXPECT_EQ(lengths["ABCD.EF;1"], 33 + 9);
    EXPECT_EQ(lengths["EMPTY.TXT;1"], 33 + 11);
    if (haveOracles()) {
        const OracleRun x = runOracle("xorriso", {"-indev", iso, "-find", "/", "-type", "f"});
        EXPECT_EQ(x.out.count("'/full/f00"), 46) << x.out.toStdString();
    }
}

TEST(IsoImage, SecondPreparationLeavesOneHeader)
{
    ImageRig r;
    r.tables.InsertFile("\\", r.makeFile("a.txt", 10).toStdString(), false);
    r.image.PrepareImage();
    const std::size_t once = r.image.HeaderStream().size();
    r.image.PrepareImage();
    EXPECT_EQ(r.image.HeaderStream().size(), once);
    EXPECT_EQ(once, 150u * 2048);
}

TEST(IsoImage, PathTablesNumberDirectoriesBreadthFirstByName)
{
    ImageRig r;
    TDEntry* b = r.tables.InsertDirectoryByName(r.tables.Root(), "b", kAttrDirectory);
    TDEntry* a = r.tables.InsertDirectoryByName(r.tables.Root(), "a", kAttrDirectory);
    TDEntry* bz = r.tables.InsertDirectoryByName(b, "z", kAttrDirectory);
    TDEntry* ay = r.tables.InsertDirectoryByName(a, "y", kAttrDirectory);
    r.image.PrepareImage();
    EXPECT_EQ(a->isoNumber, 2);
    EXPECT_EQ(b->isoNumber, 3);
    EXPECT_EQ(ay->isoNumber, 4);
    EXPECT_EQ(bz->isoNumber, 5);
    const QString iso = r.write();
    if (haveOracles()) {
        const OracleRun x = runOracle("isoinfo", {"-J", "-l", "-i", iso});
        EXPECT_TRUE(x.out.contains("Directory listing of /b/z/")) << x.out.toStdString();
    }
}

TEST(IsoImage, MkisoCommandRefusesUnreadableFiles)
{
    TestHome home;
    const ProgramRun refused = runProgram({"mkiso", "--output", home.path("x.iso"), home.path("missing.txt")});
    EXPECT_EQ(refused.status, 3);
    EXPECT_TRUE(refused.err.contains("cannot read"));
    EXPECT_FALSE(QFile::exists(home.path("x.iso")));
    const QString src = home.path("one.txt");
    ASSERT_TRUE(writeTestFile(src, "one"));
    EXPECT_EQ(runProgram({"mkiso", "--output", home.path("y.iso"), "--volume-id", "Reports", src}).status, 0);
    const QByteArray img = readTestFile(home.path("y.iso"));
    EXPECT_EQ(img.size(), 300 * 2048);
    EXPECT_EQ(img.mid(16 * 2048 + 40, 7), "REPORTS");
}

TEST(IsoImage, AFileThatShrankAfterItWasAddedFailsTheImageAndKeepsTheOldOne)
{
    ImageRig r;
    const QString src = r.makeFile("shrinks.txt", 9000);
    r.tables.InsertFile("\\", src.toStdString(), false);
    r.image.PrepareImage();
    const QString path = r.home.path("kept.iso");
    writeTestFile(path, "old image");
    QFile::resize(src, 100);
    std::string error;
    EXPECT_FALSE(WriteImageFile(r.image, r.tables, path.toStdString(), &error));
    EXPECT_EQ(error, src.toStdString() + " has changed since it was added");
    EXPECT_EQ(readTestFile(path), "old image");
}
