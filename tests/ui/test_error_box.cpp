// The standard error box: an exception that leaves an event handler is shown with the
// application's title, and the program goes on. Runs with the program's own application
// object, so it has a main of its own.

#include "ui/application.h"
#include "core/safe_file.h"
#include "tests/support/message_boxes.h"

#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

TEST(StandardErrorBox, ExceptionFromAHandlerIsShownAndTheProgramGoesOn)
{
    TApplication::SetTitle("VOBREL FM");
    MessageBoxAnswerer boxes;
    QPushButton button;  // stands for the main window, which stays open
    button.show();
    QObject::connect(&button, &QPushButton::clicked, [] { throw FileError("Cannot create file \"x\". Disk full"); });
    QTimer::singleShot(0, &button, [&] { button.click(); });
    bool after = false;
    QTimer::singleShot(300, [&] {
        after = true;
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    EXPECT_TRUE(after);
    EXPECT_EQ(boxes.titles, QStringList{"VOBREL FM"});
    EXPECT_EQ(boxes.texts, QStringList{"Cannot create file \"x\". Disk full"});
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
