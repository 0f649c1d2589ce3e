// The standard error box: an exception that leaves an event handler is shown with the
// application's title, and the program goes on. Runs with the program's own application
// object, so it has a main of its own.

#include "ui/application.h"
#include "core/safe_file.h"
#include "tests/support/message_boxes.h"

#include <QPushButton>
#include <QThread>
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
    // The loop goes on dispatching once the box has been answered and its own loop has
    // ended (only the main loop runs again); a guard ends a loop that never gets there.
    bool after = false;
    bool buttonShown = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (boxes.texts.isEmpty() || QThread::currentThread()->loopLevel() != 1)
            return;
        after = true;
        buttonShown = button.isVisible();
        QCoreApplication::quit();
    });
    poll.start(10);
    QTimer::singleShot(30000, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    EXPECT_TRUE(after) << "no event was handled after the error box";
    EXPECT_TRUE(buttonShown);
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
