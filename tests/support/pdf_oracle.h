#pragma once
// Reads PDFs back with tools nobody here wrote: pdftotext -bbox (poppler-utils) gives every
// word with its box in points, page by page; pdffonts lists the fonts a PDF carries.

#include "tests/support/iso_oracle.h"
#include "tests/support/test_home.h"

#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

struct PdfWord {
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    QString text;
};

struct PdfPage {
    double width = 0, height = 0;  // points
    std::vector<PdfWord> words;    // in the order pdftotext reads them
};

// The pages of a PDF with their words; empty when the PDF cannot be read.
inline std::vector<PdfPage> readPdfWords(const QString& pdf)
{
    QTemporaryDir dir;
    const QString html = dir.path() + QStringLiteral("/words.html");
    if (runOracle(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, html}).status != 0)
        return {};
    QFile file(html);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    std::vector<PdfPage> pages;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        if (xml.name() == QLatin1String("page")) {
            pages.push_back({a.value("width").toDouble(), a.value("height").toDouble(), {}});
        } else if (xml.name() == QLatin1String("word") && !pages.empty()) {
            PdfWord w{a.value("xMin").toDouble(), a.value("yMin").toDouble(), a.value("xMax").toDouble(),
                      a.value("yMax").toDouble(), {}};
            w.text = xml.readElementText();
            pages.back().words.push_back(w);
        }
    }
    return pages;
}

// pdffonts' table: one line per font (name, type, encoding, embedded, ...).
inline QString readPdfFonts(const QString& pdf)
{
    return runOracle(QStringLiteral("pdffonts"), {pdf}).out;
}

inline bool havePdfOracle()
{
    return runOracle(QStringLiteral("pdftotext"), {QStringLiteral("-v")}).status == 0;
}

// Where a word stands: its page (from 0) and box; page -1 when it is not in the PDF.
struct PdfPlace {
    int page = -1;
    PdfWord word;
};

inline PdfPlace findPdfWord(const std::vector<PdfPage>& pages, const QString& text)
{
    for (std::size_t p = 0; p < pages.size(); ++p)
        for (const PdfWord& w : pages[p].words)
            if (w.text == text)
                return {static_cast<int>(p), w};
    return {};
}

// Tests that read their PDFs back: skipped where pdftotext is missing; each has its own
// program directory.
class PdfTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!havePdfOracle())
            GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
    TestHome home;
};
