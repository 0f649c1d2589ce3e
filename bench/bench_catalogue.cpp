// Loads and saves a catalogue of 200,000 entries (fmList.txt with dates in the user's
// regional formats) and compares the times with reading the same file line by line into
// memory, in the same run.

#include "bench/bench_options.h"
#include "bench/line_read_baseline.h"
#include "reports/catalogue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    BenchOptions options("Loads and saves a catalogue (fmList.txt) with dates in the user's regional\n"
                         "formats; the baseline is reading the same file line by line.");
    options.value("--entries", "N", "200000", "entries in the catalogue");
    if (const int status = options.parse(argc, argv); status >= 0)
        return status;
    const int entries = static_cast<int>(options.number("--entries"));
    QTemporaryDir dir;
    const QString path = dir.path() + "/fmList.txt";
    {
        const TCatalogueDateFormat dates;
        const QDateTime start(QDate(2020, 1, 1), QTime(8, 0, 0));
        QByteArray content = "cDateTime\tCaption\tFileName\tsType\r\n";
        for (int i = 0; i < entries; ++i) {
            const QByteArray name = "rep_" + QByteArray::number(i) + "_" + QByteArray::number(i + 5) + ".txt";
            content += dates.Format(start.addSecs(i * 37)).toLocal8Bit() + '\t' + name +
                       "\t/home/user/vobrelfm/Report/" + name + "\tDetail\r\n";
        }
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            return 1;
    }

    std::vector<QByteArray> baseline;
    const double baseMs = readLinesBaselineMs(path, &baseline);
    QElapsedTimer t;

    TCatalogue catalogue;
    t.start();
    catalogue.LoadCatalogue(path);
    const double loadMs = static_cast<double>(t.nsecsElapsed()) / 1e6;

    t.restart();
    catalogue.SaveCatalogue(path);
    const double saveMs = static_cast<double>(t.nsecsElapsed()) / 1e6;

    std::printf("entries: %d (lines %zu)\n", catalogue.Count(), baseline.size());
    std::printf("read lines into memory (baseline): %8.1f ms\n", baseMs);
    std::printf("load the catalogue:                %8.1f ms   ratio %.1f\n", loadMs, loadMs / baseMs);
    std::printf("save the catalogue:                %8.1f ms   ratio %.1f\n", saveMs, saveMs / baseMs);
    return catalogue.Count() == entries ? 0 : 1;
}
