// Catalogue texts: captions in the code page compared as text, fields cut without
// splitting a character, bad fields shown cut, dates read in the regional formats.

#include "core/code_page.h"
#include "core/safe_file.h"
#include "reports/catalogue.h"
#include "reports/report_range.h"
#include "tests/support/test_home.h"

#include <gtest/gtest.h>

namespace {
const QDateTime kWhen(QDate(2024, 3, 14), QTime(9, 5, 7));
}  // namespace

TEST(CatalogueText, CaptionsAreCodePageTextAndOneNameIgnoringCaseIsOneEntry)
{
    TestHome home;
    TCatalogue c;
    const QString lower = QString::fromUtf8("/r/ząb_1_5.txt");
    const QString upper = QString::fromUtf8("/r/ZĄB_1_5.txt");
    c.AddReport(lower, "Detail", kWhen);
    c.AddReport(upper, "Detail", kWhen.addSecs(1));
    ASSERT_EQ(c.Count(), 1);
    EXPECT_EQ(c.Entry(0).Caption, QByteArray("Z\xA5" "B_1_5.txt"));  // Windows-1250
    EXPECT_EQ(c.Entry(0).FileName, upper.toUtf8());                   // the name on disk
    EXPECT_EQ(c.data(c.index(0, 1), Qt::DisplayRole).toString(), QString::fromUtf8("ZĄB_1_5.txt"));

    const QString path = home.path("fmList.txt");
    c.SaveCatalogue(path);
    EXPECT_TRUE(readTestFile(path).contains("\tZ\xA5" "B_1_5.txt\t/r/" + QString::fromUtf8("ZĄB").toUtf8()));
}

TEST(CatalogueText, NamesTheCodePageCannotHoldAreRefused)
{
    EXPECT_EQ(ReportNameProblem(QString::fromUtf8("ząb")), QString());
    const QString problem = ReportNameProblem(QString::fromUtf8("raport_жук"));
    EXPECT_TRUE(problem.contains(QString::fromUtf8("\"ж\""))) << problem.toStdString();
}

TEST(CatalogueText, CutsKeepCharactersWhole)
{
    ASSERT_TRUE(SetDisplayCodePage("UTF-8"));
    TCatalogue c;
    const QByteArray ogonek = QString::fromUtf8("ą").toUtf8();
    c.Append({kWhen, QByteArray(49, 'n') + ogonek, QByteArray(199, 'p') + ogonek, "Detail"});
    SetDisplayCodePage("WINDOWS-1250");
    EXPECT_EQ(c.Entry(0).Caption, QByteArray(49, 'n'));
    EXPECT_EQ(c.Entry(0).FileName, QByteArray(199, 'p'));
}

TEST(CatalogueText, AHugeBadFieldIsShownCut)
{
    TCatalogue c;
    const QByteArray huge(10 << 20, '7');
    try {
        c.LoadCatalogueContent("cDateTime\tCaption\r\n" + huge + "\tx.txt\r\n", "fmList.txt");
        FAIL() << "a bad date was taken";
    } catch (const FileError& e) {
        const QString text = e.what();
        EXPECT_LT(text.size(), 120);
        EXPECT_TRUE(text.startsWith("'7777777")) << text.toStdString();
        EXPECT_TRUE(text.endsWith("...' is not a valid date and time")) << text.toStdString();
    }
}

TEST(CatalogueDates, RegionalFormatsAreReadByTheFastReader)
{
    struct Case {
        const char* locale;
        const char* text;
        QDateTime expected;
    } cases[] = {
        {"en_US", "3/14/24 9:05:07 AM", QDateTime(QDate(2024, 3, 14), QTime(9, 5, 7))},
        {"en_US", "3/14/24 12:05:07 AM", QDateTime(QDate(2024, 3, 14), QTime(0, 5, 7))},
        {"en_US", "12/1/29 12:00:01 PM", QDateTime(QDate(2029, 12, 1), QTime(12, 0, 1))},
        {"en_US", "3/14/24", QDateTime(QDate(2024, 3, 14), QTime(0, 0))},
        {"de_DE", "14.03.30 23:59:59", QDateTime(QDate(1930, 3, 14), QTime(23, 59, 59))},
        {"pl_PL", "9.12.2024 07:00:00", QDateTime(QDate(2024, 12, 9), QTime(7, 0, 0))},
        {"C", "9 Dec 2024 10:47:47", QDateTime(QDate(2024, 12, 9), QTime(10, 47, 47))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + c.text);
        const TCatalogueDateFormat format {QLocale(QString::fromLatin1(c.locale))};
        EXPECT_TRUE(format.Fast());
        QDateTime when;
        ASSERT_TRUE(format.Parse(QString::fromLatin1(c.text), &when));
        EXPECT_EQ(when, c.expected);
        EXPECT_EQ(format.Format(when), QString::fromLatin1(c.text));
    }
    const TCatalogueDateFormat german {QLocale(QStringLiteral("de_DE"))};
    QDateTime when;
    for (const char* bad : {"31.02.24", "14.03.24 25:00:00", "", "14.03.24 10:00", "14.03.24x"})
        EXPECT_FALSE(german.Parse(QString::fromLatin1(bad), &when)) << bad;
}

TEST(CatalogueDates, WrittenAsTheLocaleWritesThemAndReadBack)
{
    const QDateTime moments[] = {
        QDateTime(QDate(2024, 3, 14), QTime(9, 5, 7)),   QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59)),
        QDateTime(QDate(2029, 1, 1), QTime(0, 0, 0)),    QDateTime(QDate(1999, 7, 4), QTime(12, 0, 1)),
        QDateTime(QDate(2001, 10, 9), QTime(0, 30, 0)),
    };
    for (const char* name : {"en_US", "en_GB", "de_DE", "pl_PL", "fr_FR", "ja_JP", "C", "cs_CZ", "hu_HU"}) {
        const QLocale locale {QString::fromLatin1(name)};
        const TCatalogueDateFormat format(locale);
        QString time = locale.timeFormat(QLocale::LongFormat).remove(QLatin1Char('t')).trimmed();
        for (const QDateTime& when : moments) {
            SCOPED_TRACE(std::string(name) + " " + when.toString(Qt::ISODate).toStdString());
            QString expected = locale.toString(when.date(), locale.dateFormat(QLocale::ShortFormat));
            if (when.time() != QTime(0, 0))
                expected += ' ' + locale.toString(when.time(), time);
            const QString written = format.Format(when);
            EXPECT_EQ(written, expected);
            QDateTime back;
            ASSERT_TRUE(format.Parse(written, &back));
            EXPECT_EQ(back, when);
        }
    }
}
