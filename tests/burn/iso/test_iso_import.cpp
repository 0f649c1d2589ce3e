#include "burn/drive/disc_reader.h"
#include "burn/iso/iso_image.h"
#include "burn/iso/iso_image_file.h"
#include "tests/support/burn_rig.h"
#include "tests/support/iso_oracle.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <random>

namespace {

// A disc held in memory: sectors that a test (or the fuzzer) made up.
class MemoryDisc : public IDiscReader {
public:
    std::vector<uint8_t> bytes;
    int sessions = 1;
    uint32_t start = 0;
    int LastSessionNumber() override { return sessions; }
    bool SessionStart(int, uint32_t* sector) override
    {
        *sector = start;
        return true;
    }
    bool ReadSector(uint32_t sector, std::span<uint8_t> buffer) override
    {
        if ((uint64_t(sector) + 1) * 2048 > bytes.size() || buffer.size() < 2048)
            return false;
        std::memcpy(buffer.data(), bytes.data() + uint64_t(sector) * 2048, 2048);
        return true;
    }
};

QString makeImage(TestHome& home, const QStringList& names, bool joliet)
{
    TIsoTables tables;
    for (const QString& n : names) {
        const QString path = home.path("src/" + n);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(n.toUtf8().repeated(100));
        f.close();
        tables.InsertFile("\\", path.toStdString(), false);
    }
    TIsoImage image(tables);
    image.JolietFileSystem = joliet;
    image.PrepareImage();
    std::string error;
    const QString iso = home.path("disc.img");
    EXPECT_TRUE(WriteImageFile(image, tables, iso.toStdString(), &error));
    return iso;
}

}  // namespace

TEST(IsoImport, OwnImageThroughTheEmulatedRecorderKeepsTheOldSectors)
{
    BurnRig r;
    makeImage(r.home, {"first.txt", "Second File.txt"}, true);
    ASSERT_TRUE(r.start());
    ASSERT_EQ(r.drive()->Sessions().size(), 1u);
    TDriveDiscReader disc(r.commands);
    TIsoTables tables;
    std::vector<std::string> messages;
    tables.OnMessage = [&](int kind, const std::string& m) { messages.push_back(std::to_string(kind) + m); };
    // An entry inserted before the import wins over the disc's one.
    const QString mine = r.home.path("mine/first.txt");
    QDir().mkpath(r.home.path("mine"));
    QFile(mine).open(QIODevice::WriteOnly);
    tables.InsertFile("\\", mine.toStdString(), false);
    ASSERT_TRUE(tables.ImportSession(disc, -1));
    EXPECT_EQ(messages.front(), "1>>> IMPORTING SESSION # 1");
    ASSERT_EQ(tables.FileCount(), 2);
    const TFEntry& kept = tables.Files()[0];
    EXPECT_FALSE(kept.imported);
    const TFEntry& imported = tables.Files()[1];
    EXPECT_EQ(imported.longName, "Second File.txt");  // the Joliet name
    EXPECT_TRUE(imported.imported);
    EXPECT_EQ(imported.isoExtent, 151);  // where it lies on the disc
    EXPECT_EQ(imported.size, 1500);

    // The next session: the imported file keeps its sector in the new directories.
    uint32_t next = 0;
    ASSERT_TRUE(r.commands.GetNextWritableAddress(&next));
    EXPECT_EQ(next, 300u + 11400u);
    TIsoImage image(tables);
    image.PrepareImage(TSessionPlacement{next, nullptr});
    EXPECT_EQ(image.SessionStart, next);
    bool found = false;
    const std::vector<uint8_t>& h = image.HeaderStream();
    const std::size_t root = (image.IsoDirectoryAreaSector() - image.SessionStart) * 2048;
    for (std::size_t off = root + 68; off < root + 2048 && h[off]; off += h[off])
        if (h[off + 2] == 151 && h[off + 3] == 0)
            found = true;
    EXPECT_TRUE(found);
}

TEST(IsoImport, ImageMadeByXorrisoAndABlankDisc)
{
    {
        BurnRig blank;
        ASSERT_TRUE(blank.start());
        TDriveDiscReader disc(blank.commands);
        TIsoTables tables;
        int posts = 0;
        tables.OnMessage = [&](int, const std::string&) { ++posts; };
        EXPECT_FALSE(tables.ImportSession(disc, -1));
        EXPECT_EQ(posts, 0);
        EXPECT_EQ(tables.FileCount(), 0);
    }
    if (!haveOracles())
        GTEST_SKIP() << "xorriso is needed";
    BurnRig r;
    const QString dir = r.home.path("tree/sub");
    QDir().mkpath(dir);
    QFile f(dir + "/deep file.txt");
    f.open(QIODevice::WriteOnly);
    f.write("content");
    f.close();
    ASSERT_EQ(runOracle("xorriso", {"-joliet", "on", "-outdev", QString::fromStdString(r.image), "-map",
                                    r.home.path("tree"), "/", "-commit"}).status, 0);
    ASSERT_TRUE(r.start());
    TDriveDiscReader disc(r.commands);
    TIsoTables tables;
    ASSERT_TRUE(tables.ImportSession(disc, 1));
    TDEntry* sub = tables.FindDirectory("\\SUB");
    ASSERT_TRUE(sub);
    ASSERT_TRUE(sub->firstChild);
    EXPECT_EQ(sub->firstChild->longName, "deep file.txt");
    EXPECT_EQ(sub->firstChild->size, 7);
    uint8_t sector[2048];
    ASSERT_TRUE(disc.ReadSector(static_cast<uint32_t>(sub->firstChild->isoExtent), sector));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(sector), 7), "content");
}

TEST(IsoImport, SurvivesHostileDiscs)
{
    TestHome home;
    const QString iso = makeImage(home, {"a.txt", "b.txt"}, true);
    QFile f(iso);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray good = f.readAll();
    MemoryDisc disc;

    // The root directory's first entry pointing back at the root itself.
    disc.bytes.assign(good.begin(), good.end());
    const std::size_t root = 24 * 2048 + 68;  // Joliet root, first entry
    disc.bytes[root + 25] = 2;                // a directory
    disc.bytes[root + 2] = 24;                // at the root's own sector
    disc.bytes[root + 10] = 0;
    disc.bytes[root + 11] = 8;                // 2048 bytes
    TIsoTables tables;
    std::vector<std::string> messages;
    tables.OnMessage = [&](int, const std::string& m) { messages.push_back(m); };
    EXPECT_TRUE(tables.ImportSession(disc, -1));
    EXPECT_FALSE(messages.empty());

    // Random damage to the descriptors and directories: no crash, no endless walk.
    std::mt19937 rng(17);
    for (int round = 0; round < 400; ++round) {
        disc.bytes.assign(good.begin(), good.end());
        const int hits = 1 + static_cast<int>(rng() % 40);
        for (int i = 0; i < hits; ++i) {
            const std::size_t sector = 16 + rng() % 10;
            disc.bytes[sector * 2048 + rng() % 2048] = static_cast<uint8_t>(rng());
        }
        TIsoTables t;
        t.ImportSession(disc, -1);
        ASSERT_LE(t.FileCount(), 65535);
    }
    // A Joliet root of gigabytes, and one whose extent lies past the disc: each ends with
    // its message and imports nothing.
    const std::size_t jolietRoot = 17 * 2048 + 156;  // root record of the supplementary descriptor
    const int emptyCount = TIsoTables().FileCount();
    for (const std::size_t field : {jolietRoot + 10, jolietRoot + 2}) {  // size, extent (LE)
        disc.bytes.assign(good.begin(), good.end());
        disc.bytes[field + 3] = 0x7F;
        TIsoTables damaged;
        std::vector<std::string> said;
        damaged.OnMessage = [&](int kind, const std::string& m) {
            if (kind == 4)
                said.push_back(m);
        };
        damaged.ImportSession(disc, -1);
        EXPECT_EQ(damaged.FileCount(), emptyCount) << field;
        ASSERT_EQ(said.size(), 1u) << field;
        EXPECT_NE(said[0].find(field == jolietRoot + 10 ? "DIRECTORY TOO LARGE" : "CANNOT READ SECTOR"),
                  std::string::npos)
            << said[0];
    }
}
