#include "tests/ui/text_fit.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QStyleOptionGroupBox>
#include <QTableView>
#include <QToolButton>

namespace {

QString nameOf(const QWidget* w)
{
    QString path;
    for (const QWidget* p = w; p; p = p->isWindow() ? nullptr : p->parentWidget()) {
        const QString name = p->objectName().isEmpty() ? QString::fromLatin1(p->metaObject()->className())
                                                        : p->objectName();
        path = path.isEmpty() ? name : name + QLatin1Char('/') + path;
    }
    return path;
}

QString sizeText(const QSize& s)
{
    return QStringLiteral("%1x%2").arg(s.width()).arg(s.height());
}

struct Checker {
    QStringList problems;

    void need(const QWidget* w, const QString& text, const QSize& needed, const QSize& has)
    {
        if (needed.width() > has.width() || needed.height() > has.height())
            problems << QStringLiteral("%1: '%2' needs %3, has %4")
                            .arg(nameOf(w), text, sizeText(needed), sizeText(has));
    }

    static QSize textSize(const QWidget* w, const QString& text)
    {
        return w->fontMetrics().size(Qt::TextShowMnemonic, text);
    }

    void label(const QLabel* l)
    {
        if (l->text().isEmpty() || (l->pixmap().isNull() == false))
            return;
        if (l->wordWrap()) {
            need(l, l->text(), {0, l->heightForWidth(l->width())}, l->size());
            return;
        }
        const QRect inside = l->contentsRect();
        const int indent = l->indent() > 0 ? l->indent() : 0;
        QSize needed = textSize(l, l->text()) + QSize(2 * l->margin() + indent, 2 * l->margin());
        need(l, l->text(), needed, inside.size());
    }

    void pushButton(const QPushButton* b)
    {
        QStyleOptionButton opt;
        opt.initFrom(b);
        const QStyle* st = b->style();
        QSize content = textSize(b, b->text());
        if (!b->icon().isNull()) {
            content.rwidth() += b->iconSize().width() + 4;
            content.setHeight(std::max(content.height(), b->iconSize().height()));
        }
        const int frame = 2 * st->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, b);
        const int margin = st->pixelMetric(QStyle::PM_ButtonMargin, &opt, b);
        int extra = frame + margin;
        if (b->autoDefault() || b->isDefault())
            extra += 2 * st->pixelMetric(QStyle::PM_ButtonDefaultIndicator, &opt, b);
        need(b, b->text(), content + QSize(extra, extra), b->size());
    }

    void checkOrRadio(const QAbstractButton* b, QStyle::SubElement element)
    {
        QStyleOptionButton opt;
        opt.initFrom(b);
        opt.text = b->text();
        opt.icon = b->icon();
        opt.iconSize = b->iconSize();
        const QRect contents = b->style()->subElementRect(element, &opt, b);
        QSize needed = textSize(b, b->text());
        if (!b->icon().isNull())
            needed.rwidth() += b->iconSize().width() + 4;
        need(b, b->text(), needed, contents.size());
    }

    void toolButton(const QToolButton* b)
    {
        // The style's size for the icon (and text, if shown) with the button's frame.
        need(b, b->text().isEmpty() ? QStringLiteral("(icon)") : b->text(), b->sizeHint(), b->size());
    }

    void lineEdit(const QLineEdit* e)
    {
        if (e->text().isEmpty() || e->echoMode() != QLineEdit::Normal)
            return;
        QStyleOptionFrame opt;
        opt.initFrom(e);
        opt.lineWidth = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e) : 0;
        QRect r = e->style()->subElementRect(QStyle::SE_LineEditContents, &opt, e);
        r = r.marginsRemoved(e->textMargins());
        constexpr int kHorizontalMargin = 2;  // QLineEdit's own inner margin on each side
        const QSize has(r.width() - 2 * kHorizontalMargin, r.height());
        need(e, e->text(), {e->fontMetrics().horizontalAdvance(e->text()) + 1, e->fontMetrics().height()}, has);
    }

    void comboBox(const QComboBox* c)
    {
        QStyleOptionComboBox opt;
        opt.initFrom(c);
        opt.editable = c->isEditable();
        opt.frame = c->hasFrame();
        const QRect field = c->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, c);
        for (int i = 0; i < c->count(); ++i) {
            QSize needed = textSize(c, c->itemText(i));
            if (!c->itemIcon(i).isNull())
                needed.rwidth() += c->iconSize().width() + 4;
            need(c, c->itemText(i), needed, field.size());
        }
    }

    void groupBox(const QGroupBox* g)
    {
        if (g->title().isEmpty())
            return;
        QStyleOptionGroupBox opt;
        opt.initFrom(g);
        opt.text = g->title();
        opt.lineWidth = 1;
        opt.midLineWidth = 0;
        opt.textAlignment = g->alignment();
        opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        const QRect label = g->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, g);
        const QSize text = textSize(g, g->title());
        need(g, g->title(), text, label.intersected(g->rect()).size());
    }

    void tableView(const QTableView* t)
    {
        const QAbstractItemView* view = t;  // the size hints are public there
        const QHeaderView* header = t->horizontalHeader();
        if (!t->model())
            return;
        for (int c = 0; c < t->model()->columnCount(); ++c) {
            if (t->isColumnHidden(c))
                continue;
            const QString title = t->model()->headerData(c, Qt::Horizontal).toString();
            if (header->isVisible())
                need(header, title, {header->sectionSizeHint(c), 0}, {header->sectionSize(c), 0});
            if (t->model()->rowCount() > 0)
                need(t, QStringLiteral("column %1 cells").arg(c), {view->sizeHintForColumn(c), 0},
                     {t->columnWidth(c), 0});
        }
        for (int r = 0; r < std::min(t->model()->rowCount(), 50); ++r)
            need(t, QStringLiteral("row %1 cells").arg(r), {0, view->sizeHintForRow(r)}, {0, t->rowHeight(r)});
    }

    // A text control is seen whole only when no ancestor cuts it (scrolled contents aside).
    void insideAncestors(const QWidget* w)
    {
        QRect r = w->rect();
        const QWidget* child = w;
        for (const QWidget* p = w->parentWidget(); p && !child->isWindow(); child = p, p = p->parentWidget()) {
            if (qobject_cast<const QAbstractScrollArea*>(p) || (p->parentWidget() &&
                                                               qobject_cast<const QAbstractScrollArea*>(p->parentWidget())))
                return;
            r.translate(child->pos());
            if (!p->rect().contains(r)) {
                problems << QStringLiteral("%1: cut by the edge of %2 (%3 at %4,%5 in %6)")
                                .arg(nameOf(w), nameOf(p), sizeText(r.size()))
                                .arg(r.x())
                                .arg(r.y())
                                .arg(sizeText(p->size()));
                return;
            }
        }
    }
};

bool isTextControl(const QWidget* w)
{
    return qobject_cast<const QLabel*>(w) || qobject_cast<const QAbstractButton*>(w) ||
           qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QGroupBox*>(w);
}

bool insideItemViewChrome(const QWidget* w)
{
    // Scroll bars, headers and the corner button of item views lay themselves out.
    for (const QWidget* p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget())
        if (qobject_cast<const QAbstractScrollArea*>(p))
            return true;
    return false;
}

}  // namespace

QStringList CutTexts(QWidget* window)
{
    Checker check;
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    QList<const QWidget*> textControls;
    for (const QWidget* w : widgets) {
        if (!w->isVisibleTo(window) || (w != window && w->isWindow()))
            continue;
        if (const auto* t = qobject_cast<const QTableView*>(w))
            check.tableView(t);
        if (!isTextControl(w) || insideItemViewChrome(w))
            continue;
        textControls << w;
        check.insideAncestors(w);
        if (const auto* l = qobject_cast<const QLabel*>(w))
            check.label(l);
        else if (const auto* b = qobject_cast<const QPushButton*>(w))
            check.pushButton(b);
        else if (const auto* c = qobject_cast<const QCheckBox*>(w))
            check.checkOrRadio(c, QStyle::SE_CheckBoxContents);
        else if (const auto* r = qobject_cast<const QRadioButton*>(w))
            check.checkOrRadio(r, QStyle::SE_RadioButtonContents);
        else if (const auto* tb = qobject_cast<const QToolButton*>(w))
            check.toolButton(tb);
        else if (const auto* e = qobject_cast<const QLineEdit*>(w))
            check.lineEdit(e);
        else if (const auto* cb = qobject_cast<const QComboBox*>(w))
            check.comboBox(cb);
        else if (const auto* g = qobject_cast<const QGroupBox*>(w))
            check.groupBox(g);
    }
    // Sibling text controls must not cover each other (a group box holds its own children).
    for (int i = 0; i < textControls.size(); ++i)
        for (int j = i + 1; j < textControls.size(); ++j) {
            const QWidget* a = textControls[i];
            const QWidget* b = textControls[j];
            if (a->parentWidget() == b->parentWidget() && a->geometry().intersects(b->geometry()))
                check.problems << QStringLiteral("%1 and %2 overlap").arg(nameOf(a), nameOf(b));
        }
    return check.problems;
}
