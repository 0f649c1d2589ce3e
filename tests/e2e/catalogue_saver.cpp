// A test program that does nothing but catalogue saves, for the kill test: round after
// round it opens the data module on --home DIR, adds one entry and closes it (a locked
// read, merge and write of fmList.txt), until it is killed or has done ROUNDS rounds.

#include "core/settings.h"
#include "reports/catalogue.h"

#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: catalogue_saver DIR ROUNDS\n");
        return 2;
    }
    InitProgramPaths(QString::fromLocal8Bit(argv[1]));
    const int rounds = std::atoi(argv[2]);
    for (int round = 0; round < rounds; ++round) {
        Tdm dm([](const QString& e) { std::fprintf(stderr, "%s\n", e.toLocal8Bit().constData()); });
        dm.fmRpt.AddReport(Settings().ReportDir + QStringLiteral("round_%1.txt").arg(round % 7), "Detail",
                           QDateTime::currentDateTime());
        dm.Close();
    }
    return 0;
}
