#pragma once
// The date-time texts of fmList.txt in the user's regional formats (short date, long time
// without its time-zone name), written and read back. The formats are looked up once per
// object and compiled into fields, so that loading a large catalogue reads each date with
// a few comparisons instead of a locale parse; a format with parts the fast reader does not
// know falls back to the locale's own parser. Times read are local times in the system's
// time zone, which is looked up once too (a local time made anew looks at the system's
// zone file each time).

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTimeZone>
#include <vector>

class TCatalogueDateFormat {
public:
    // The user's regional formats, or those of another locale.
    TCatalogueDateFormat() : TCatalogueDateFormat(QLocale::system()) {}
    explicit TCatalogueDateFormat(const QLocale& locale);
    // Whether the formats are read by the fast field reader (else by the locale's parser).
    bool Fast() const { return fast_; }

    QString Format(const QDateTime& when) const;
    // A date alone means midnight; false when the text is neither a date nor a date and time.
    bool Parse(QStringView text, QDateTime* when) const;

private:
    struct Field {
        enum Kind { Literal, Day, DayName, Month, MonthName, Year2, Year4, Hour12, Hour24,
                    Minute, Second, Millisecond, AmPm } kind;
        int minDigits = 0, maxDigits = 0;  // numbers
        QString text;                       // literals; "a" or "A" for AmPm
        bool longName = false;              // MonthName, DayName
    };
    static bool Compile(const QString& format, std::vector<Field>* fields);
    bool Match(const std::vector<Field>& fields, QStringView text, QDate* date, QTime* time) const;
    bool SlowParse(QStringView text, QDateTime* when) const;

    QDateTime Make(QDate date, QTime time) const;
    void Write(const std::vector<Field>& fields, QDate date, QTime time, QString* out) const;

    QLocale locale_;
    QString dateFormat_, timeFormat_;
    QTimeZone zone_;  // the system's time zone, looked up once
    QStringList monthNames_[2], dayNames_[2];  // short and long
    QString amText_, pmText_;
    std::vector<Field> dateFields_, dateTimeFields_;
    bool fast_ = false;
};

// One-off forms of the above (each call looks the formats up).
QString FormatCatalogueDateTime(const QDateTime& when);
bool ParseCatalogueDateTime(const QString& text, QDateTime* when);
