// Loads and saves a catalogue of 200,000 entries (fmList.txt with dates in the user's
// regional formats) and compares the times with reading the same file line by line into
// memory, in the same run.
//   bench_catalogue [--entries N]

#include "reports/catalogue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int entries = 200000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--entries") == 0 && i + 1 < argc) {
            entries = std::atoi(argv[++i]);
        } else {
            std::printf("usage: bench_catalogue [--entries N]   (default 200000)\n");
            return std::strcmp(argv[i], "--help") == 0 ? 0 : 2;
        }
    }
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

    QElapsedTimer t;
    // Baseline: the file read line by line into a list in memory.
    t.start();
    std::vector<QByteArray> baseline;
    {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        while (!f.atEnd()) {
            QByteArray line = f.readLine();
            line.chop(2);
            baseline.push_back(std::move(line));
        }
    }
    const double baseMs = t.nsecsElapsed() / 1e6;

    TCatalogue catalogue;
    t.restart();
    catalogue.LoadCatalogue(path);
    const double loadMs = t.nsecsElapsed() / 1e6;

    t.restart();
    catalogue.SaveCatalogue(path);
    const double saveMs = t.nsecsElapsed() / 1e6;

    std::printf("entries: %d (lines %zu)\n", catalogue.Count(), baseline.size());
    std::printf("read lines into memory (baseline): %8.1f ms\n", baseMs);
    std::printf("load the catalogue:                %8.1f ms   ratio %.1f\n", loadMs, loadMs / baseMs);
    std::printf("save the catalogue:                %8.1f ms   ratio %.1f\n", saveMs, saveMs / baseMs);
    return catalogue.Count() == entries ? 0 : 1;
}
