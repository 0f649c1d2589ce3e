#pragma once
// The burn window's "Check disc": the audit of the disc in the selected drive (every
// session's files against their checksum lists and the download checksums) as a table
// in a window of its own: file, session, size, state, and a line saying what was found.

#include <QDialog>

class QLabel;
class QTableWidget;
struct TAuditResult;

class TDiscAuditWindow : public QDialog {
    Q_OBJECT
public:
    explicit TDiscAuditWindow(const TAuditResult& audit, QWidget* parent = nullptr);

    QTableWidget* Table;
    QLabel* Summary;
};

// The window's summary of an audit: all same, the differences, or why the disc was not read.
QString AuditSummary(const TAuditResult& audit);
