// The main window from the keyboard alone: Tab reaches every control (and leaves the
// catalogue and the report), the buttons carry mnemonics, and the desktop's standard keys
// run their commands.

#include "core/texts.h"
#include "reports/catalogue.h"
#include "tests/support/test_home.h"
#include "tests/ui/language_rig.h"
#include "ui/report_form.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// Presses Tab on the window's focused control; returns the control that has the focus then.
QWidget* pressTab(QWidget* window)
{
    QWidget* focused = window->focusWidget() ? window->focusWidget() : window;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QApplication::sendEvent(focused, &press);
    return window->focusWidget();
}

// The program folder first, then the windows that read it.
struct HomeFirst {
    TestHome home;
};

struct ShownWindows : HomeFirst, StartedWindows {
    ShownWindows()
    {
        texts::ResetToDefaults();
        dm->fmRpt.AddReport(Settings().ReportDir + "a_1_2.txt", "Detail", QDateTime::currentDateTime());
        mainForm->show();
        mainForm->activateWindow();
    }
};

}  // namespace

TEST(Keyboard, TabWalksEveryControlOfTheMainWindowAndLeavesTheGrids)
{
    ShownWindows w;
    w.mainForm->CommBtn->setFocus(Qt::TabFocusReason);
    QList<QWidget*> visited{w.mainForm->focusWidget()};
    for (int i = 0; i < 40; ++i)
        visited << pressTab(w.mainForm.get());

    QList<QWidget*> wanted{w.mainForm->CommBtn, w.mainForm->TestBtn, w.mainForm->TExitBtn, w.mainForm->CheckBox1,
                           w.fmfrm->dbgrd1, w.fmfrm->ReportGrid};
    for (QPushButton* b : w.fmfrm->pnl1->findChildren<QPushButton*>())
        wanted << b;
    ASSERT_EQ(w.fmfrm->pnl1->findChildren<QPushButton*>().size(), 7);
    for (QWidget* control : wanted)
        EXPECT_TRUE(visited.contains(control)) << control->objectName().toStdString() << " never has the focus";
    // Each grid takes the focus once per round: Tab leaves it at once.
    const int round = static_cast<int>(visited.indexOf(w.mainForm->CommBtn, 1));
    ASSERT_GT(round, 0) << "Tab never comes back to the first control";
    EXPECT_EQ(visited.mid(0, round).count(w.fmfrm->dbgrd1), 1);
    EXPECT_EQ(visited.mid(0, round).count(w.fmfrm->ReportGrid), 1);
    EXPECT_EQ(visited.indexOf(w.fmfrm->ReportGrid), visited.indexOf(w.fmfrm->dbgrd1) + 1);
    EXPECT_EQ(visited.indexOf(w.fmfrm->OpenBtn), visited.indexOf(w.fmfrm->ReportGrid) + 1);
}

TEST(Keyboard, ButtonsAndMenusCarryDistinctMnemonics)
{
    ShownWindows w;
    QList<QAbstractButton*> buttons = w.fmfrm->pnl1->findChildren<QAbstractButton*>();
    buttons << w.mainForm->CheckBox1;
    QSet<QChar> letters;
    for (QAction* menu : {w.mainForm->FileMenu->menuAction(), w.mainForm->CommMenu->menuAction(),
                          w.mainForm->HelpMenu->menuAction()}) {
        const QString text = menu->text();
        ASSERT_TRUE(text.contains('&')) << text.toStdString();
        letters.insert(text.at(text.indexOf('&') + 1).toLower());
    }
    for (QAbstractButton* b : buttons) {
        const QString text = b->text();
        const qsizetype at = text.indexOf('&');
        ASSERT_GE(at, 0) << text.toStdString() << " has no mnemonic";
        const QChar letter = text.at(at + 1).toLower();
        EXPECT_FALSE(letters.contains(letter)) << text.toStdString() << " repeats the letter " << letter.toLatin1();
        letters.insert(letter);
    }
}

TEST(Keyboard, StandardKeysRunTheirButtons)
{
    ShownWindows w;
    const struct {
        QKeySequence::StandardKey key;
        QPushButton* button;
    } cases[] = {{QKeySequence::Open, w.fmfrm->OpenBtn},
                 {QKeySequence::SaveAs, w.fmfrm->Button2},
                 {QKeySequence::Print, w.fmfrm->PrintBtn},
                 {QKeySequence::Delete, w.fmfrm->DeleteBtn}};
    const QList<QShortcut*> shortcuts = w.fmfrm->findChildren<QShortcut*>();
    for (const auto& c : cases) {
        int clicks = 0;
        const auto connection = QObject::connect(c.button, &QPushButton::clicked, [&clicks] { ++clicks; });
        // Replace the dialogs the buttons open: only the click is looked at.
        w.fmfrm->ChooseOpenFile = [] { return QString(); };
        w.fmfrm->ChooseSaveFile = [] { return QString(); };
        bool found = false;
        for (QShortcut* s : shortcuts) {
            if (s->key() == QKeySequence(c.key)) {
                found = true;
                if (c.button != w.fmfrm->PrintBtn && c.button != w.fmfrm->DeleteBtn)
                    emit s->activated();
            }
        }
        EXPECT_TRUE(found) << QKeySequence(c.key).toString().toStdString() << " has no command";
        if (c.button != w.fmfrm->PrintBtn && c.button != w.fmfrm->DeleteBtn) {
            EXPECT_EQ(clicks, 1) << c.button->objectName().toStdString();
        }
        QObject::disconnect(connection);
    }
    EXPECT_EQ(w.mainForm->AboutItem->shortcut(), QKeySequence(QKeySequence::HelpContents));
}
