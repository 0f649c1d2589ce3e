// The command line speaks the language files' language: lang.lng in the program
// directory and the .LNG file beside the executable.

#include "core/settings.h"
#include "tests/support/program_run.h"
#include "tests/support/simulated_register.h"
#include "tests/support/test_home.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(EndToEndLanguage, SilentRegisterErrorInPolish)
{
    TestHome home;
    ASSERT_TRUE(QFile::copy(QStringLiteral(VOBRELFM_SOURCE_DIR "/lang/pl/lang.lng"), home.path("lang.lng")));
    SimulatedRegister reg({"--silent"});
    ASSERT_FALSE(reg.pty().isEmpty());
    const ProgramRun run = runProgram({"--home", Settings().ProgramDir, "test", "--port", reg.pty()});
    const QString& err = run.err;
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(err.contains(QString::fromUtf8("Połączenie...Błąd"))) << err.toStdString();
    EXPECT_FALSE(err.contains("Connect...")) << err.toStdString();
}

TEST(EndToEndLanguage, ExeFileBesideTheProgramThenLangLng)
{
    TestHome home;
    QTemporaryDir programDir;
    const QString program = programDir.path() + "/fmtool";
    ASSERT_TRUE(QFile::copy(QStringLiteral(VOBRELFM_PATH), program));
    // fmtool reads fmtool.LNG beside it; lang.lng in the program directory comes second.
    ASSERT_TRUE(writeTestFile(programDir.path() + "/fmtool.LNG",
                              "[String]\r\nSErrorOpen=\"Port nicht offen: \"\r\nSmessage=anderer Port.\r\n"));
    ASSERT_TRUE(writeTestFile(home.path("lang.lng"), "[String]\r\nSmessage=inny port.\r\n"));
    const ProgramRun run = runProgramAt(program, {"--home", Settings().ProgramDir, "test", "--port", "COM0"});
    const QString& err = run.err;
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(err.contains("Port nicht offen: COM0!")) << err.toStdString();
    EXPECT_TRUE(err.contains("inny port.")) << err.toStdString();
    EXPECT_FALSE(err.contains("anderer Port.")) << err.toStdString();
    // Neither file is written.
    EXPECT_EQ(readTestFile(home.path("lang.lng")), "[String]\r\nSmessage=inny port.\r\n");
}
