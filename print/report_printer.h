#pragma once
// Report printing: the report's lines in narrow columns, several to a page, on any paged
// device (a printer, a PDF), measured in that device's own units. The report window's
// Print button, the command line's print command and the tests all print through
// PrintReport, which lays the lines out with PaintReport.
//
// Lines are bytes and are decoded with the display code page; the font is the report
// grid's (Courier New, which fontconfig maps to Liberation Mono). Nothing here shows a
// window: the print dialog belongs to the report window.

#include <QByteArray>
#include <QFont>
#include <QString>
#include <stdexcept>
#include <vector>

class QPagedPaintDevice;
class QPainter;
class QPrinter;

// A printer or a print job that failed; what() is the text shown to the operator.
class PrintError : public std::runtime_error {
public:
    explicit PrintError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

struct PrintOptions {
    int Pages = 2;     // text columns per page ([Print] Pages)
    int FontSize = 9;  // points ([Print] Fontsize)
    QString (*Decode)(const QByteArray&) = nullptr;  // the code page; nullptr: the display code page
};

// The report grid's font at `points` (a size of 0 or less gives the default 9).
QFont ReportFont(int points);

// The columns a page gets: Pages, or 1 when Pages is 0 or less (no layout divides by 0).
int PrintColumns(int pages);

// Why the lines cannot be printed on the device with these options (a column narrower
// than the longest line, or a line taller than a page), or empty when they can.
QString PrintLayoutProblem(const QPagedPaintDevice& device, const std::vector<QByteArray>& lines,
                           const PrintOptions& options);

// Lays the lines out on the painter's paged device and draws them, starting new columns
// and pages as they fill. Returns the number of pages; throws PrintError when the device
// refuses a new page.
int PaintReport(QPainter& painter, QPagedPaintDevice& device, const std::vector<QByteArray>& lines,
                const PrintOptions& options);

// Prints the lines on a printer as its print dialog left it. PDF output is made in memory
// and written whole through the file writer, so a failed job never leaves half a PDF under
// the target name (FileError); other printers get the job directly (PrintError when the
// printer fails). Returns the number of pages.
int PrintReport(QPrinter& printer, const std::vector<QByteArray>& lines, const PrintOptions& options);
