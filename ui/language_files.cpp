#include "ui/language_files.h"

#include "core/code_page.h"
#include "core/ini_file.h"
#include "core/language_texts.h"
#include "core/texts.h"
#include "ui/qt_catalogue.h"
#include "reports/report_grid_model.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>
#include <algorithm>

namespace lang {
namespace {

QByteArray keyOf(const char* name, const char* suffix = "")
{
    return QByteArray(name) + suffix;
}

// A tool-bar button: a tool button, or an action shown on a tool bar and in no menu.
bool isToolBarButton(QObject* c)
{
    if (qobject_cast<QToolButton*>(c))
        return true;
    auto* action = qobject_cast<QAction*>(c);
    if (!action)
        return false;
    bool onToolBar = false;
    for (QObject* o : action->associatedObjects()) {
        if (qobject_cast<QMenu*>(o))
            return false;
        onToolBar = onToolBar || qobject_cast<QToolBar*>(o);
    }
    return onToolBar;
}

bool isMenuItem(QObject* c)
{
    return qobject_cast<QMenu*>(c) || (qobject_cast<QAction*>(c) && !isToolBarButton(c));
}

// A radio group: a group box whose items are radio buttons, in their creation order.
QList<QRadioButton*> radioItems(QObject* c)
{
    auto* box = qobject_cast<QGroupBox*>(c);
    return box ? box->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly) : QList<QRadioButton*>();
}

ReportGridModel* textGridOf(QObject* c)
{
    auto* view = qobject_cast<QAbstractItemView*>(c);
    return view ? qobject_cast<ReportGridModel*>(view->model()) : nullptr;
}

// The text a component shows: a caption, an edit field's contents, a menu item's caption
// ("-" for a separator). False for kinds that carry none.
bool readText(QObject* c, QString* out)
{
    if (auto* menu = qobject_cast<QMenu*>(c))
        *out = menu->title();
    else if (auto* action = qobject_cast<QAction*>(c))
        *out = action->isSeparator() ? QStringLiteral("-") : action->text();
    else if (auto* button = qobject_cast<QAbstractButton*>(c))
        *out = button->text();
    else if (auto* label = qobject_cast<QLabel*>(c))
        *out = label->text();
    else if (auto* edit = qobject_cast<QLineEdit*>(c))
        *out = edit->text();
    else if (auto* box = qobject_cast<QGroupBox*>(c))
        *out = box->title();
    else
        return false;
    return true;
}

bool inLayout(const QLayout* layout, const QWidget* w)
{
    for (int i = 0; layout && i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->widget() == w || inLayout(item->layout(), w))
            return true;
    }
    return false;
}

// A replaced caption that no longer fits: the control widens to its size hint. A fixed
// width is widened; a control in a layout gets the room from it; a control placed by
// position grows to the right (a right-aligned label to the left). Edit fields keep
// their width.
void growToFit(QWidget* w)
{
    if (qobject_cast<QLineEdit*>(w) || w->isWindow())
        return;
    w->updateGeometry();
    const int wanted = w->sizeHint().width();
    if (wanted <= w->width() && wanted <= w->maximumWidth())
        return;
    if (w->maximumWidth() < wanted)
        w->setMaximumWidth(wanted);
    if (w->minimumWidth() > 0 && w->minimumWidth() < wanted)
        w->setMinimumWidth(wanted);
    if (w->parentWidget() && inLayout(w->parentWidget()->layout(), w))
        return;
    // Placed by position: a right-aligned label keeps its right edge beside its field.
    const int added = std::max(0, wanted - w->width());
    auto* label = qobject_cast<QLabel*>(w);
    const int x = label && (label->alignment() & Qt::AlignRight) ? std::max(0, w->x() - added) : w->x();
    w->setGeometry(x, w->y(), w->width() + added, w->height());
}

void writeText(QObject* c, const QString& text)
{
    if (auto* menu = qobject_cast<QMenu*>(c)) {
        menu->setTitle(text);
    } else if (auto* action = qobject_cast<QAction*>(c)) {
        // A menu item captioned "-" is a separator; any other caption makes it an item.
        action->setSeparator(text == QLatin1String("-"));
        action->setText(action->isSeparator() ? QString() : text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(c)) {
        button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(c)) {
        label->setText(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(c)) {
        edit->setText(text);
    } else if (auto* box = qobject_cast<QGroupBox*>(c)) {
        box->setTitle(text);
    }
    if (auto* w = qobject_cast<QWidget*>(c); w && !qobject_cast<QMenu*>(c))
        growToFit(w);
}

// A hint: a tool tip, or a menu item's status-line text.
QString hintOf(QObject* c)
{
    if (auto* menu = qobject_cast<QMenu*>(c))
        return menu->menuAction()->statusTip();
    if (auto* action = qobject_cast<QAction*>(c))
        return isToolBarButton(c) ? action->toolTip() : action->statusTip();
    if (auto* w = qobject_cast<QWidget*>(c))
        return w->toolTip();
    return {};
}

void writeHint(QObject* c, const QString& hint)
{
    if (auto* menu = qobject_cast<QMenu*>(c))
        menu->menuAction()->setStatusTip(hint);
    else if (auto* action = qobject_cast<QAction*>(c))
        isToolBarButton(c) ? action->setToolTip(hint) : action->setStatusTip(hint);
    else if (auto* w = qobject_cast<QWidget*>(c))
        w->setToolTip(hint);
}

// Finds a component of a window by name, breadth first, without entering the other
// windows (the report window lives inside the main window but is a window of its own).
QObject* findComponent(QWidget* window, const QString& name, const QSet<QObject*>& windows)
{
    QList<QObject*> queue{window};
    while (!queue.isEmpty()) {
        for (QObject* child : queue.takeFirst()->children()) {
            if (windows.contains(child))
                continue;
            if (child->objectName() == name)
                return child;
            queue.append(child);
        }
    }
    return nullptr;
}

// Calls visit(window, entry) for every table entry whose window is among `windows`, and
// visit's component callback for each component found in it.
template <typename Visit>
void forEachWindow(const QList<QWidget*>& windows, Visit visit)
{
    const QSet<QObject*> all(windows.begin(), windows.end());
    for (const LocalisedWindow& entry : LocalisedWindows()) {
        for (QWidget* window : windows) {
            if (window && window->objectName() == QLatin1String(entry.name)) {
                QList<std::pair<const char*, QObject*>> components;
                for (const char* name : entry.components)
                    if (QObject* c = findComponent(window, QLatin1String(name), all))
                        components.append({name, c});
                visit(window, entry, components);
                break;
            }
        }
    }
}

}  // namespace

const std::vector<LocalisedWindow>& LocalisedWindows()
{
    static const std::vector<LocalisedWindow> windows = {
        {"MainForm",
         {"TopDock", "ToolWindow1", "CommBtn", "TestBtn", "TExitBtn", "CheckBox1", "pnl1", "BottomDock",
          "MainMenu1", "FileMenu", "ExitItem", "CommMenu", "TestItem", "HelpMenu", "ContentItem", "N1",
          "AboutItem"}},
        {"CommDlg", {"BaudRateRG", "ParityRG", "StopBitsRG", "PortCB", "OKBtn", "CancelBtn"}},
        {"ProgressForm",
         {"Bevel1", "Bevel2", "Bevel3", "Bevel4", "Label3D1", "Label3D2", "Label3D3", "StatusLabel", "CurLabel",
          "TotalLabel", "ProgressBar1", "OKBtn", "CancelBtn"}},
        {"fmfrm",
         {"pnl2", "dbgrd1", "spl1", "ReportGrid", "pnl1", "OpenBtn", "btn1", "Button1", "Button2", "DeleteBtn",
          "PrintBtn", "RurnBtn", "dlgSave1", "dlgOpen1"}},
        {"UploadReportDlg",
         {"RangeTypeRG", "FileName", "edt1", "Notebook1", "Label1", "Label2", "ZCountFromEdit", "ZCountToEdit",
          "ZCountEndCheck", "Label3", "Label4", "DateFromEdit", "DateToEdit", "DateEndCheck", "BitBtn1",
          "BitBtn2"}},
        {"BurnFrm",
         {"Panel1", "Label1", "cbb1", "BurnBtn", "Panel2", "ToolBar1", "DeleteBtn", "FileBtn", "FolderBtn", "lv1",
          "Splitter1", "Memo1", "pb", "dlgOpen1", "Timer1"}},
    };
    return windows;
}

void ApplyExeLanguageFile(const QList<QWidget*>& windows, const ini::Profile& file)
{
    // Every read defaults to the current text: only keys present in the file change a text.
    auto replace = [&file](const QByteArray& section, const QByteArray& key, const QString& current,
                           auto set) {
        if (!current.isEmpty() && file.hasValue(section, key))
            set(DecodeText(file.value(section, key)));
    };
    forEachWindow(windows, [&](QWidget* window, const LocalisedWindow& entry, const auto& components) {
        const QByteArray section(entry.name);
        replace(section, "Caption", window->windowTitle(), [window](const QString& t) { window->setWindowTitle(t); });
        for (const auto& [name, c] : components) {
            QString text;
            if (readText(c, &text))
                replace(section, keyOf(name, ".Caption"), text, [c = c](const QString& t) { writeText(c, t); });
            replace(section, keyOf(name, ".Hint"), hintOf(c), [c = c](const QString& t) { writeHint(c, t); });
        }
    });
    ApplyExeMessageTexts(file);
}

void ApplyLangFile(const QList<QWidget*>& windows, const ini::Profile& file)
{
    forEachWindow(windows, [&](QWidget* window, const LocalisedWindow& entry, const auto& components) {
        if (window->windowTitle().trimmed().isEmpty())
            return;  // a window without a caption is skipped whole
        const QByteArray section(entry.name);
        // Window and component texts default to empty: a missing key empties the text.
        auto text = [&](const QByteArray& key) { return DecodeText(file.value(section, key)); };
        if (section != "MainForm")
            window->setWindowTitle(text(section));
        for (const auto& [name, c] : components) {
            const QByteArray key(name);
            if (qobject_cast<QPushButton*>(c) || qobject_cast<QCheckBox*>(c) || qobject_cast<QLabel*>(c) ||
                isMenuItem(c))
                writeText(c, text(key));
            if (isToolBarButton(c))
                writeHint(c, text(key));
            if (ReportGridModel* grid = textGridOf(c))  // one column: key name + "1", row 0
                grid->SetRow(0, file.value(section, key + '1'));
            const QList<QRadioButton*> items = radioItems(c);
            if (!items.isEmpty()) {
                static_cast<QGroupBox*>(c)->setTitle(text(key));
                for (int i = 0; i < items.size(); ++i)
                    writeText(items[i], text(key + QByteArray::number(i + 1)));
                growToFit(static_cast<QGroupBox*>(c));
            }
        }
    });
    ApplyLangTextTables(file);
}

void ApplyLanguageFiles(const QList<QWidget*>& windows)
{
    ini::Profile file;
    LoadLanguageFile(ExeLanguageFilePath(), &file);
    ApplyExeLanguageFile(windows, file);
    if (LoadLanguageFile(LangFilePath(), &file))
        ApplyLangFile(windows, file);
    LoadQtCatalogue(texts::Extra("Language"));
}

}  // namespace lang
