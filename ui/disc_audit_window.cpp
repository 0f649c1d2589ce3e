#include "ui/disc_audit_window.h"

#include "burn/write/disc_audit.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

QString AuditSummary(const TAuditResult& audit)
{
    if (!audit.read)
        return QStringLiteral("The disc cannot be read: %1").arg(QString::fromStdString(audit.problem));
    int differ = 0;
    for (const TAuditRow& r : audit.rows)
        differ += r.state == TAuditState::Differs || r.state == TAuditState::Missing;
    QString text = audit.Differences()
                       ? QStringLiteral("%1 of %2 files differ or are missing.").arg(differ).arg(audit.rows.size())
                       : QStringLiteral("%1 files checked in %2 sessions: no difference.")
                             .arg(audit.rows.size())
                             .arg(audit.sessions);
    if (!audit.problem.empty())
        text += ' ' + QString::fromStdString(audit.problem) + '.';
    for (const int s : audit.withoutList)
        text += QStringLiteral(" Session %1 has no checksum list.").arg(s);
    return text;
}

TDiscAuditWindow::TDiscAuditWindow(const TAuditResult& audit, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DiscAuditWindow"));
    setWindowTitle(QStringLiteral("Check disc"));
    Table = new QTableWidget(static_cast<int>(audit.rows.size()), 4, this);
    Table->setObjectName(QStringLiteral("Table"));
    Table->setHorizontalHeaderLabels(
        {QStringLiteral("File"), QStringLiteral("Session"), QStringLiteral("Size"), QStringLiteral("State")});
    Table->verticalHeader()->hide();
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setWordWrap(false);
    for (int i = 0; i < Table->rowCount(); ++i) {
        const TAuditRow& r = audit.rows[static_cast<std::size_t>(i)];
        QString state = QString::fromLatin1(AuditStateText(r.state));
        if (!r.detail.empty())
            state += QStringLiteral(" (%1)").arg(QString::fromStdString(r.detail));
        const QString cells[] = {QString::fromStdString(r.name), QString::number(r.session),
                                 r.size < 0 ? QStringLiteral("-") : QString::number(r.size), state};
        for (int c = 0; c < 4; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == 1 || c == 2)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            Table->setItem(i, c, item);
        }
    }
    // No text is cut: every column as wide as its longest text.
    Table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    Summary = new QLabel(AuditSummary(audit), this);
    Summary->setObjectName(QStringLiteral("Summary"));
    Summary->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Table, 1);
    layout->addWidget(Summary);
    layout->addWidget(buttons);
    int width = 0;
    for (int c = 0; c < 4; ++c)
        width += Table->horizontalHeader()->sectionSize(c);
    setMinimumSize(std::max(480, width + 60), 300);
}
