#include "print/report_printer.h"

#include "core/code_page.h"
#include "core/safe_file.h"
#include "core/settings.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <algorithm>

namespace {

// The print-out's spacing, in device pixels.
constexpr int kMargin = 30;        // left and top margin, also added to every column step
constexpr int kLineGap = 5;        // between one line and the next
constexpr int kBottomMargin = 60;  // free space a line must leave below it on its column
// Larger sizes are printed at this size, so that no measure overflows.
constexpr int kLargestFontSize = 1000;

// Draws a line with its top-left corner at (left, top), cut off at the right and bottom
// edges, without wrapping. Characters that start past the right edge are left out, so a
// PDF holds only what shows; a character across the edge is cut by a clip.
void drawLine(QPainter& painter, const QFontMetrics& metrics, const QString& text, int left, int top,
              int right, int bottom)
{
    const int width = right - left;
    if (text.isEmpty() || width <= 0 || top >= bottom)
        return;
    const QPoint baseline(left, top + metrics.ascent());
    if (metrics.horizontalAdvance(text) <= width && top + metrics.height() <= bottom) {
        painter.drawText(baseline, text);
        return;
    }
    qsizetype shown = 0;
    for (int x = 0; shown < text.size() && x < width; ++shown)
        x += metrics.horizontalAdvance(text[shown]);
    painter.save();
    painter.setClipRect(QRect(left, top, width, bottom - top));
    painter.drawText(baseline, text.left(shown));
    painter.restore();
}

}  // namespace

QFont ReportFont(int points)
{
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);  // any fixed-pitch face when no Courier New maps
    font.setFixedPitch(true);
    font.setPointSize(points > 0 ? std::min(points, kLargestFontSize) : cfg::kDefaultPrintFontSize);
    return font;
}

int PrintColumns(int pages)
{
    return pages > 0 ? pages : 1;
}

QString PrintLayoutProblem(const QPagedPaintDevice& device, const std::vector<QByteArray>& lines,
                           const PrintOptions& options)
{
    QString (*decode)(const QByteArray&) = options.Decode ? options.Decode : DecodeText;
    const QFontMetrics metrics(ReportFont(options.FontSize), const_cast<QPagedPaintDevice*>(&device));
    if (metrics.height() + kMargin + kBottomMargin >= device.height())
        return QStringLiteral("text of %1 points is taller than a page").arg(options.FontSize);
    int widest = 0;
    for (const QByteArray& line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(decode(line).trimmed()));
    const int columnWidth = device.width() / PrintColumns(options.Pages) - kMargin;
    if (widest > columnWidth)
        return QStringLiteral("%1 columns a page of %2-point text are narrower than the report's lines")
            .arg(PrintColumns(options.Pages))
            .arg(options.FontSize);
    return {};
}

int PaintReport(QPainter& painter, QPagedPaintDevice& device, const std::vector<QByteArray>& lines,
                const PrintOptions& options)
{
    QString (*decode)(const QByteArray&) = options.Decode ? options.Decode : DecodeText;
    const int pageWidth = device.width();
    const int pageHeight = device.height();
    const int columnStep = pageWidth / PrintColumns(options.Pages) + kMargin;
    painter.setFont(ReportFont(options.FontSize));
    const QFontMetrics metrics = painter.fontMetrics();
    const int lineHeight = metrics.height();

    int left = kMargin;
    int top = kMargin;
    int pages = 1;
    for (const QByteArray& line : lines) {
        if (lineHeight + top + kBottomMargin < pageHeight) {
            top += lineHeight + kLineGap;
        } else if (pageWidth > left + columnStep) {
            top = kMargin;  // next column
            left += columnStep;
        } else {
            if (!device.newPage())
                throw PrintError(QStringLiteral("The printer did not start page %1.").arg(pages + 1));
            ++pages;
            top = kMargin;
            left = kMargin;
        }
        // Every column is cut where the next one begins (and at the printable width),
        // never at the width of its own first line, which would hide the longer lines.
        const int right = std::min(left + columnStep, pageWidth);
        drawLine(painter, metrics, decode(line), left, top, right, pageHeight);
    }
    return pages;
}

namespace {

// PDF output: the document is made in memory, then written whole over the target.
int printPdf(QPrinter& printer, const std::vector<QByteArray>& lines, const PrintOptions& options)
{
    const QString target = printer.outputFileName();
    if (target.isEmpty())
        throw PrintError(QStringLiteral("No PDF file name was given."));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    int pages = 0;
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(printer.resolution());
        writer.setPageLayout(printer.pageLayout());
        writer.setPdfVersion(printer.pdfVersion());
        writer.setTitle(printer.docName());
        writer.setCreator(printer.creator());
        QPainter painter;
        if (!painter.begin(&writer))
            throw PrintError(QStringLiteral("Cannot make the PDF for \"%1\".").arg(target));
        pages = PaintReport(painter, writer, lines, options);
        if (!painter.end())
            throw PrintError(QStringLiteral("Cannot make the PDF for \"%1\".").arg(target));
    }
    writeFileAtomically(target, buffer.data());
    return pages;
}

}  // namespace

int PrintReport(QPrinter& printer, const std::vector<QByteArray>& lines, const PrintOptions& options)
{
    if (printer.outputFormat() == QPrinter::PdfFormat)
        return printPdf(printer, lines, options);
    const QString name = printer.printerName();
    QPainter painter;
    if (!painter.begin(&printer))
        throw PrintError(QStringLiteral("The printer \"%1\" cannot start the job.").arg(name));
    int pages = 0;
    try {
        pages = PaintReport(painter, printer, lines, options);
    } catch (...) {
        printer.abort();  // a job that failed half-way is withdrawn, not printed in part
        painter.end();
        throw;
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        throw PrintError(QStringLiteral("The printer \"%1\" failed to print the job.").arg(name));
    return pages;
}
