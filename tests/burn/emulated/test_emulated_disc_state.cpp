// The emulated recorder's state file is outside input: states no real disc can have are
// refused, and a state that cannot be saved fails the command that changed the disc.

#include "burn/emulated/emulated_drive.h"
#include "tests/support/test_home.h"
#include "tests/support/write_faults.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {

std::unique_ptr<TEmulatedDrive> openWithState(const TestHome& home, const QByteArray& state, std::string* error)
{
    EXPECT_TRUE(writeTestFile(home.path("disc.img.state"), state));
    return TEmulatedDrive::Open(home.path("disc.img").toStdString(), error);
}

}  // namespace

TEST(EmulatedDiscState, StatesNoRealDiscCanHaveAreRefused)
{
    TestHome home;
    std::string error;
    auto good = openWithState(home, "medium CD-RW\ncapacity 20000\nfinalized 0\nsession 0 20\nsession 11420 11500\n", &error);
    ASSERT_TRUE(good) << error;
    ASSERT_EQ(good->Sessions().size(), 2u);
    EXPECT_EQ(good->Sessions()[1].start, 11420u);
    EXPECT_EQ(good->Capacity(), 20000u);
    good.reset();

    auto sessions = [](int count) {
        QByteArray state = "capacity 359849\n";
        for (int i = 0; i < count; ++i)
            state += "session " + QByteArray::number(i * 3) + " " + QByteArray::number(i * 3 + 1) + "\n";
        return state;
    };
    const QByteArray refused[] = {
        "capacity -5\n",
        "capacity 4294967295\n",
        "capacity 0\n",
        "medium DVD-ROM\n",
        "capacity 500000\n",  // more than a CD holds
        "medium DVD-R\ncapacity 5000000\n",
        "capacity 100\nsession 0 50\nopen 60\n",
        "medium\n",
        "finalized 2\n",
        "session 10 5\n",
        "session 0 20\nsession 10 30\n",
        "capacity 100\nsession 0 200\n",
        "session 1 x\n",
        "sessions 0 1\n",
        sessions(100),     // a CD holds 99 tracks at most
        sessions(100000),  // and its state file is small
    };
    for (const QByteArray& state : refused) {
        SCOPED_TRACE(state.left(40).toStdString());
        error.clear();
        EXPECT_EQ(openWithState(home, state, &error), nullptr);
        EXPECT_NE(error.find("is refused"), std::string::npos) << error;
    }
}

TEST(EmulatedDiscState, AStateThatCannotBeSavedFailsTheCommand)
{
    TestHome home;
    std::string error;
    auto drive = TEmulatedDrive::Open(home.path("disc.img").toStdString(), &error);
    ASSERT_TRUE(drive) << error;
    std::vector<uint8_t> data(2048, 0x5A);
    uint8_t write[10] = {0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0};
    uint8_t sense[32] = {};
    ASSERT_EQ(drive->Execute(write, 10, data.data(), 2048, sense), 0);

    const FailingRenames faults(EIO);
    uint8_t close[10] = {0x5B, 0, 2, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(drive->Execute(close, 10, nullptr, 0, sense), 2);
    EXPECT_EQ(sense[2] & 0x0F, 3);  // medium error
    EXPECT_EQ(sense[12], 0x0C);     // write error
    EXPECT_FALSE(drive->SetMedium(TEmulatedDrive::Medium::CDRW));
    // The state saved when the blank disc was opened stays as it was.
    const QByteArray kept = readTestFile(home.path("disc.img.state"));
    EXPECT_TRUE(kept.startsWith("medium CD-R\n")) << kept.toStdString();
    EXPECT_FALSE(kept.contains("session"));
}
