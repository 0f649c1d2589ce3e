// Opens a 1,000,000-line report file into the report grid (model and view) and compares
// the time with reading the same file line by line into memory, in the same run.

#include "bench/bench_options.h"
#include "bench/line_read_baseline.h"
#include "reports/report_file.h"
#include "reports/report_grid_model.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BenchOptions options("Opens a report file of many lines into the report grid (model and view) and\n"
                         "scrolls through it; the baseline is reading the same file line by line.");
    options.value("--lines", "N", "1000000", "lines in the report file");
    if (const int status = options.parse(argc, argv); status >= 0)
        return status;
    const int lines = static_cast<int>(options.number("--lines"));
    QTemporaryDir dir;
    const QString path = dir.path() + "/big.txt";
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        QByteArray chunk;
        for (int i = 0; i < lines; ++i) {
            chunk += "Z REPORT " + QByteArray::number(i).rightJustified(7, '0') + "  SALES 123.45\r\n";
            if (chunk.size() > (1 << 20)) {
                f.write(chunk);
                chunk.clear();
            }
        }
        f.write(chunk);
    }

    std::vector<QByteArray> baseline;
    const double baseMs = readLinesBaselineMs(path, &baseline);
    QElapsedTimer t;

    ReportGridModel grid;
    QTableView view;
    view.setModel(&grid);
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view.verticalHeader()->setDefaultSectionSize(20);
    view.resize(600, 400);
    view.show();
    QCoreApplication::processEvents();

    t.start();
    LoadReportFile(grid, path);
    QCoreApplication::processEvents();
    const double openMs = static_cast<double>(t.nsecsElapsed()) / 1e6;

    t.restart();
    for (int step = 0; step < 100; ++step) {
        view.scrollTo(grid.index(step * (lines / 100), 0));
        view.repaint();
    }
    view.scrollToBottom();
    view.repaint();
    const double scrollMs = static_cast<double>(t.nsecsElapsed()) / 1e6;

    std::printf("lines: %d (check %zu)\n", grid.RowCount(), baseline.size());
    std::printf("read lines into memory (baseline): %8.1f ms\n", baseMs);
    std::printf("open into the grid and show it:    %8.1f ms   ratio %.2f\n", openMs, openMs / baseMs);
    std::printf("100 jumps through the grid + end:   %8.1f ms   (%.2f ms per repaint)\n", scrollMs,
                scrollMs / 101);
    return grid.RowCount() == lines ? 0 : 1;
}
