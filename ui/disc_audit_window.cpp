#include "ui/disc_audit_window.h"

#include "burn/write/disc_audit.h"
#include "core/texts.h"

#include <QDialogButtonBox>
#include <algorithm>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString stateText(TAuditState state)
{
    switch (state) {
    case TAuditState::Same: return texts::Extra("AuditSame");
    case TAuditState::Differs: return texts::Extra("AuditDiffers");
    case TAuditState::NotInList: return texts::Extra("AuditNotInList");
    case TAuditState::NoDownloadRecord: return texts::Extra("AuditNoDownloadRecord");
    case TAuditState::Missing: return texts::Extra("AuditMissing");
    }
    return QString();
}

// What a differing file differs from; why a file could not be read or is missing.
QString detailText(const TAuditRow& row)
{
    switch (row.difference) {
    case TAuditDifference::FromList: return texts::Extra("AuditDiffersFromList");
    case TAuditDifference::FromDownload: return texts::Extra("AuditDiffersFromDownload");
    case TAuditDifference::Unreadable:
    case TAuditDifference::None: break;
    }
    return texts::Reworded(QString::fromStdString(row.detail));
}

}  // namespace

QString AuditSummary(const TAuditResult& audit)
{
    if (!audit.read)
        return texts::ExtraFormat("AuditUnreadable", {texts::Reworded(QString::fromStdString(audit.problem))});
    int differ = 0;
    for (const TAuditRow& r : audit.rows)
        differ += r.state == TAuditState::Differs || r.state == TAuditState::Missing;
    const QString files = QString::number(audit.rows.size());
    QString text = audit.Differences()
                       ? texts::ExtraFormat("AuditDiffer", {QString::number(differ), files})
                       : texts::ExtraFormat("AuditNoDifference", {files, QString::number(audit.sessions)});
    if (!audit.problem.empty())
        text += ' ' + texts::Reworded(QString::fromStdString(audit.problem)) + '.';
    for (const int s : audit.withoutList)
        text += ' ' + texts::ExtraFormat("AuditNoList", {QString::number(s)});
    return text;
}

TDiscAuditWindow::TDiscAuditWindow(const TAuditResult& audit, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DiscAuditWindow"));
    setWindowTitle(texts::Extra("AuditTitle"));
    Table = new QTableWidget(static_cast<int>(audit.rows.size()), 4, this);
    Table->setObjectName(QStringLiteral("Table"));
    Table->setHorizontalHeaderLabels(
        {texts::Extra("AuditFile"), texts::Extra("AuditSession"), texts::Extra("AuditSize"), texts::Extra("AuditState")});
    Table->verticalHeader()->hide();
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setWordWrap(true);
    for (int i = 0; i < Table->rowCount(); ++i) {
        const TAuditRow& r = audit.rows[static_cast<std::size_t>(i)];
        QString state = stateText(r.state);
        if (const QString detail = detailText(r); !detail.isEmpty())
            state += QStringLiteral(" (%1)").arg(detail);
        const QString cells[] = {QString::fromStdString(r.name), QString::number(r.session),
                                 r.size < 0 ? QStringLiteral("-") : QString::number(r.size), state};
        for (int c = 0; c < 4; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == 1 || c == 2)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            Table->setItem(i, c, item);
        }
    }
    // No text is cut: the file, session and size as wide as their longest text, the state
    // taking the rest of the width and wrapping into taller rows where it needs to.
    QHeaderView* columns = Table->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::ResizeToContents);
    columns->setSectionResizeMode(3, QHeaderView::Stretch);
    Table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    Summary = new QLabel(AuditSummary(audit), this);
    Summary->setObjectName(QStringLiteral("Summary"));
    Summary->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Table, 1);
    layout->addWidget(Summary);
    layout->addWidget(buttons);
    // Room for the first three columns and a state of some words; wider when the texts ask.
    int fixed = 0;
    for (int c = 0; c < 3; ++c)
        fixed += columns->sectionSize(c);
    const int stateRoom = Table->fontMetrics().averageCharWidth() * 24;
    setMinimumSize(std::max(480, fixed + stateRoom + 60), 300);
    int wanted = fixed + 60;
    for (int i = 0; i < Table->rowCount(); ++i)
        wanted = std::max(wanted, fixed + Table->fontMetrics().horizontalAdvance(Table->item(i, 3)->text()) + 80);
    resize(std::max(wanted, minimumWidth()), 360);
}
