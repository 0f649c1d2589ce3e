// The print command: a report file on a printer or into a PDF file, laid out exactly as
// the report window prints it.

#include "cli/cli.h"
#include "cli/cli_common.h"
#include "core/safe_file.h"
#include "core/settings.h"
#include "print/report_printer.h"
#include "reports/report_file.h"
#include "reports/report_grid_model.h"

#include <QPrinter>
#include <QPrinterInfo>
#include <cstdio>
#include <limits>

namespace cli {

namespace {

constexpr char kPrintUsage[] =
    "usage: print REPORT [--pdf OUT.pdf | --printer NAME] [--pages N] [--font-size PT]";

struct PrintArguments {
    QString report;
    QString pdf;
    QString printer;
    QString pages;
    QString fontSize;
};

bool parsePrintArguments(const QStringList& args, PrintArguments* out, QString* error)
{
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        QString* target = nullptr;
        if (a == QLatin1String("--pdf"))
            target = &out->pdf;
        else if (a == QLatin1String("--printer"))
            target = &out->printer;
        else if (a == QLatin1String("--pages"))
            target = &out->pages;
        else if (a == QLatin1String("--font-size"))
            target = &out->fontSize;
        else if (a.startsWith(QLatin1String("--"))) {
            *error = QStringLiteral("unknown option: %1").arg(a);
            return false;
        } else if (out->report.isEmpty()) {
            out->report = a;
            continue;
        } else {
            *error = QStringLiteral("print takes one report file");
            return false;
        }
        if (i + 1 >= args.size() || args[i + 1].isEmpty()) {
            *error = QStringLiteral("option %1 needs a value").arg(a);
            return false;
        }
        *target = args[++i];
    }
    if (out->report.isEmpty())
        *error = QString::fromLatin1(kPrintUsage);
    else if (!out->pdf.isEmpty() && !out->printer.isEmpty())
        *error = QStringLiteral("give either --pdf or --printer, not both");
    return error->isEmpty();
}

// An integer option, or the setting when the option is absent; false when it is no integer
// or below `lowest`.
bool integerOption(const QString& text, int setting, int lowest, int* value)
{
    if (text.isEmpty()) {
        *value = setting;
        return true;
    }
    bool ok = false;
    *value = text.toInt(&ok);
    return ok && *value >= lowest;
}

// Points the printer at the PDF file or at the named (or the default) printer; false with
// a message when there is no such printer.
bool choosePrinter(QPrinter& printer, const PrintArguments& a, QString* error)
{
    if (!a.pdf.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(a.pdf);
        return true;
    }
    const QString name = a.printer.isEmpty() ? QPrinterInfo::defaultPrinterName() : a.printer;
    if (name.isEmpty()) {
        *error = QStringLiteral("No printer is installed; give --pdf OUT.pdf to print into a file.");
        return false;
    }
    if (!QPrinterInfo::availablePrinterNames().contains(name)) {
        *error = QStringLiteral("There is no printer named \"%1\".").arg(name);
        return false;
    }
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setPrinterName(name);
    return true;
}

}  // namespace

int runPrint(const QStringList& args)
{
    PrintArguments a;
    QString error;
    if (!parsePrintArguments(args, &a, &error)) {
        printError(error);
        return kExitUsage;
    }
    ReadSystemConfig();
    PrintOptions options;
    if (!integerOption(a.pages, Settings().PrintPages, std::numeric_limits<int>::min(), &options.Pages)) {
        printError(QStringLiteral("--pages takes a whole number"));
        return kExitUsage;
    }
    if (!integerOption(a.fontSize, Settings().PrintFontSize, 1, &options.FontSize)) {
        printError(QStringLiteral("--font-size takes a whole number of points, 1 or more"));
        return kExitUsage;
    }
    if (PrintColumns(options.Pages) != options.Pages)
        printError(QStringLiteral("%1 columns a page cannot be printed; printing one column a page")
                       .arg(options.Pages));

    ReportGridModel grid;
    try {
        LoadReportFile(grid, a.report);
        QPrinter printer(QPrinter::HighResolution);
        if (!choosePrinter(printer, a, &error)) {
            printError(error);
            return kExitFileError;
        }
        // Settings that would print pages without the report's text are refused.
        if (const QString problem = PrintLayoutProblem(printer, grid.Rows(), options); !problem.isEmpty()) {
            printError(QStringLiteral("cannot print: %1").arg(problem));
            return kExitUsage;
        }
        const int pages = PrintReport(printer, grid.Rows(), options);
        const QString where = a.pdf.isEmpty() ? printer.printerName() : a.pdf;
        std::fprintf(stdout, "%s: %d page%s\n", where.toLocal8Bit().constData(), pages, pages == 1 ? "" : "s");
    } catch (const std::exception& e) {
        printError(QString::fromLocal8Bit(e.what()));
        return kExitFileError;
    }
    return kExitOk;
}

}  // namespace cli
