// The burner component end to end on the emulated recorder: sessions written by the write
// pipeline, read back by xorriso and isoinfo.

#include "tests/burner_rig.h"

#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

// Extracts one file of the session starting at `sector` with xorriso.
QByteArray extract(BurnerRig& r, int sector, const QString& name)
{
    const QString out = r.home.path("out_" + QString::number(sector) + "_" + name);
    runOracle("xorriso", {"-osirrox", "on", "-load", "sbsector", QString::number(sector), "-indev",
                          QString::fromStdString(r.image), "-extract", "/" + name, out});
    return readTestFile(out);
}

}  // namespace

TEST(Burner, FirstSessionOnABlankDiscIsReadBackByTheOracles)
{
    BurnerRig r;
    ASSERT_TRUE(r.start());
    const std::string a = r.makeFile("src/a.txt", 5000);
    const std::string b = r.makeFile("src/b.txt", 200000);
    EXPECT_EQ(r.burn({a, b}), "");
    EXPECT_EQ(r.burner.BytesWritten(), 614400);  // 251 sectors padded to 300
    ASSERT_EQ(r.drive()->Sessions().size(), 1u);
    EXPECT_EQ(r.drive()->Sessions()[0].start, 0u);
    EXPECT_EQ(r.drive()->Sessions()[0].end, 300u);
    EXPECT_FALSE(r.drive()->Finalized());
    EXPECT_TRUE(r.logged("1:>>> STARTING WRITE PROCESS ON CD-R AT "));
    EXPECT_NE(r.eventThread, std::this_thread::get_id());  // OnWriteDone came on the write thread
    EXPECT_EQ(r.events.front(), "finalizing");

    if (!haveOracles())
        GTEST_SKIP() << "xorriso and isoinfo are needed (apt-get install xorriso genisoimage)";
    EXPECT_EQ(extract(r, 0, "a.txt"), readTestFile(QString::fromStdString(a)));
    EXPECT_EQ(extract(r, 0, "b.txt"), readTestFile(QString::fromStdString(b)));
    const OracleRun info = runOracle("isoinfo", {"-l", "-i", QString::fromStdString(r.image)});
    EXPECT_TRUE(info.out.contains("A.TXT;1")) << info.out.toStdString();
}
