#include "burn/emulated/emulated_drive.h"
#include "core/base/byte_order.h"
#include "core/base/whole_file.h"
#include "tests/support/test_home.h"

#include <QFile>
#include <cerrno>
#include <filesystem>
#include <unistd.h>
#include <QProcess>
#include <gtest/gtest.h>
#include <vector>

namespace {

struct Disc {
    std::unique_ptr<TEmulatedDrive> drive;
    uint8_t sense[32] = {};
    explicit Disc(const QString& path)
    {
        std::string error;
        drive = TEmulatedDrive::Open(path.toStdString(), &error);
    }
    uint8_t run(std::vector<uint8_t> cdb, std::vector<uint8_t>* data = nullptr)
    {
        cdb.resize(std::max<std::size_t>(cdb.size(), 10), 0);
        return drive->Execute(cdb.data(), static_cast<int>(cdb.size()), data ? data->data() : nullptr,
                              data ? static_cast<uint32_t>(data->size()) : 0, sense);
    }
    uint8_t write(uint32_t lba, uint16_t count, uint8_t fill = 0x5A)
    {
        std::vector<uint8_t> data(std::size_t(count) * 2048, fill);
        return run({0x2A, 0, uint8_t(lba >> 24), uint8_t(lba >> 16), uint8_t(lba >> 8), uint8_t(lba), 0,
                    uint8_t(count >> 8), uint8_t(count)}, &data);
    }
    uint32_t trackInfo(uint32_t track, std::size_t field)
    {
        std::vector<uint8_t> d(38);
        if (run({0x52, 1, 0, 0, 0, uint8_t(track), 0, 0, 38}, &d) != 0)
            return 0xFFFFFFFF;
        return bytes::be32(&d[field]);
    }
    void setMultiSession(bool on)
    {
        std::vector<uint8_t> page(8 + 52, 0);
        page[8] = 0x05;
        page[9] = 0x32;
        page[10] = 0x01;
        page[11] = on ? 0xC4 : 0x04;
        page[12] = 0x08;
        ASSERT_EQ(run({0x55, 0x10, 0, 0, 0, 0, 0, 0, uint8_t(page.size())}, &page), 0);
    }
    int asc() const { return sense[12]; }
};

// An fsync that fails with an I/O error on the disc image only (the state file syncs).
int imageFsyncFails(int fd)
{
    std::error_code error;
    if (std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), error).filename() == "disc.img")
        return errno = EIO, -1;
    return ::fsync(fd);
}

}  // namespace

TEST(EmulatedDrive, AFlushTheImageCannotKeepIsAWriteErrorAndLeavesTheTrackOpen)
{
    TestHome home;
    Disc d(home.path("disc.img"));
    ASSERT_EQ(d.write(0, 16), 0);
    {
        wholefile::Steps steps = wholefile::CurrentSteps();
        steps.fsync = imageFsyncFails;
        const wholefile::ScopedSteps failing(steps);
        EXPECT_EQ(d.run({0x35}), 2);
        EXPECT_EQ(d.sense[2] & 0x0F, 3);  // medium error
        EXPECT_EQ(d.asc(), 0x0C);         // write error
    }
    EXPECT_TRUE(d.drive->Sessions().empty());
    EXPECT_EQ(d.trackInfo(0xFF, 12), 16u);  // what was written stays in the open track
    EXPECT_EQ(d.run({0x35}), 0);
}

TEST(EmulatedDrive, BlankDiscAndTrackAtOnceWriting)
{
    TestHome home;
    Disc d(home.path("disc.img"));
    ASSERT_TRUE(d.drive);
    std::vector<uint8_t> cfg(16);
    ASSERT_EQ(d.run({0x46, 2, 0, 0, 0, 0, 0, 0, 16}, &cfg), 0);
    EXPECT_EQ(cfg[7], 0x09);  // CD-R profile
    EXPECT_EQ(d.trackInfo(0xFF, 12), 0u);
    EXPECT_EQ(d.trackInfo(0xFF, 16), TEmulatedDrive::kBlank80MinBlocks);

    EXPECT_EQ(d.write(5, 1), 2);  // only at the next writable address
    EXPECT_EQ(d.sense[2] & 0x0F, 5);
    EXPECT_EQ(d.asc(), 0x21);
    ASSERT_EQ(d.write(0, 16), 0);
    ASSERT_EQ(d.write(16, 4), 0);
    EXPECT_EQ(d.trackInfo(0xFF, 12), 20u);
    d.setMultiSession(true);
    ASSERT_EQ(d.run({0x5B, 0, 2}), 0);
    ASSERT_EQ(d.drive->Sessions().size(), 1u);
    EXPECT_EQ(d.drive->Sessions()[0].end, 20u);
    EXPECT_FALSE(d.drive->Finalized());
    // The second session starts after the first lead-out, the next lead-in and a pre-gap.
    EXPECT_EQ(d.trackInfo(0xFF, 12), 20u + 6750 + 4500 + 150);

    std::vector<uint8_t> toc(4);
    ASSERT_EQ(d.run({0x43, 0, 1, 0, 0, 0, 0, 0, 4}, &toc), 0);
    EXPECT_EQ(toc[3], 1);  // last session number
    std::vector<uint8_t> sector(2048);
    ASSERT_EQ(d.run({0x28, 0, 0, 0, 0, 3, 0, 0, 1}, &sector), 0);
    EXPECT_EQ(sector[0], 0x5A);
    EXPECT_EQ(d.run({0x28, 0, 0, 0, 0, 20, 0, 0, 1}, &sector), 2);  // past the written area
}

TEST(EmulatedDrive, StateSurvivesReopeningAndFinalizedDiscsRefuseWrites)
{
    TestHome home;
    {
        Disc d(home.path("disc.img"));
        d.drive->SetMedium(TEmulatedDrive::Medium::CDRW);
        ASSERT_EQ(d.write(0, 2), 0);
        d.setMultiSession(false);
        ASSERT_EQ(d.run({0x5B, 0, 2}), 0);
        EXPECT_TRUE(d.drive->Finalized());
    }
    Disc again(home.path("disc.img"));
    EXPECT_TRUE(again.drive->Finalized());
    ASSERT_EQ(again.drive->Sessions().size(), 1u);
    EXPECT_EQ(again.write(0, 1), 2);
    std::vector<uint8_t> info(34);
    ASSERT_EQ(again.run({0x51, 0, 0, 0, 0, 0, 0, 0, 34}, &info), 0);
    EXPECT_EQ(info[2] & 0x03, 2);   // complete disc
    EXPECT_TRUE(info[2] & 0x10);    // erasable: CD-RW
    std::vector<uint8_t> atip(28);
    ASSERT_EQ(again.run({0x43, 2, 4, 0, 0, 0, 0, 0, 28}, &atip), 0);
    EXPECT_EQ(atip[6] & 0xC0, 0xC0);
}

TEST(EmulatedDrive, FaultsOnRequest)
{
    TestHome home;
    Disc d(home.path("disc.img"));
    d.drive->notReadyCommands = 2;
    EXPECT_EQ(d.run({0x00}), 2);
    EXPECT_EQ(d.sense[2] & 0x0F, 2);
    EXPECT_EQ(d.asc(), 0x04);
    EXPECT_EQ(d.run({0x00}), 2);
    EXPECT_EQ(d.run({0x00}), 0);
    d.drive->busyOnce = true;
    EXPECT_EQ(d.run({0x00}), 8);
    d.drive->writeErrorSector = 3;
    EXPECT_EQ(d.write(0, 8), 2);
    EXPECT_EQ(d.sense[2] & 0x0F, 3);
    EXPECT_EQ(d.asc(), 0x0C);
    d.drive->writeErrorSector = -1;
    d.drive->SetCapacity(10);
    EXPECT_EQ(d.write(0, 11), 2);
    EXPECT_EQ(d.asc(), 0x63);
    EXPECT_EQ(d.run({0xEE}), 2);  // an unknown command
    EXPECT_EQ(d.asc(), 0x20);
}

TEST(EmulatedDrive, ImageMadeByAnotherToolIsAClosedSession)
{
    TestHome home;
    const QString file = home.path("a.txt");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("hello");
    f.close();
    const QString iso = home.path("other.iso");
    if (QProcess::execute("xorriso", {"-outdev", iso, "-map", file, "/a.txt", "-commit"}) != 0)
        GTEST_SKIP() << "xorriso is not installed (apt-get install xorriso)";
    Disc d(iso);
    ASSERT_EQ(d.drive->Sessions().size(), 1u);
    EXPECT_EQ(d.drive->Sessions()[0].start, 0u);
    EXPECT_GT(d.drive->Sessions()[0].end, 16u);
    std::vector<uint8_t> pvd(2048);
    ASSERT_EQ(d.run({0x28, 0, 0, 0, 0, 16, 0, 0, 1}, &pvd), 0);
    EXPECT_EQ(pvd[0], 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&pvd[1]), 5), "CD001");
}
