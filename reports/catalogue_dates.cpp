#include "reports/catalogue_dates.h"

namespace {

// The regional long time format without its time-zone name, which a Windows time format
// never carries and which would not read back.
QString longTimeFormat(const QLocale& locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return format.trimmed();
}

// Two-digit years read as 1930 to 2029, as the regional settings of the platform do.
QDate fixTwoDigitYear(QDate date, const QString& format)
{
    if (date.isValid() && format.contains(QLatin1String("yy")) && !format.contains(QLatin1String("yyyy")) &&
        date.year() < 1930)
        date = date.addYears(100);
    return date;
}

// Reads up to maxDigits decimal digits (at least minDigits) at pos.
bool readNumber(QStringView text, qsizetype* pos, int minDigits, int maxDigits, int* value)
{
    int n = 0;
    int v = 0;
    while (n < maxDigits && *pos + n < text.size() && text[*pos + n] >= QLatin1Char('0') &&
           text[*pos + n] <= QLatin1Char('9')) {
        v = v * 10 + (text[*pos + n].unicode() - '0');
        ++n;
    }
    if (n < minDigits)
        return false;
    *pos += n;
    *value = v;
    return true;
}

// The longest of the names that the text continues with at pos (letter case ignored);
// its index, or -1.
int readName(QStringView text, qsizetype* pos, const QStringList& names)
{
    int best = -1;
    qsizetype bestLength = 0;
    for (int i = 0; i < names.size(); ++i) {
        const QString& name = names[i];
        if (name.size() > bestLength && !name.isEmpty() &&
            text.mid(*pos).startsWith(name, Qt::CaseInsensitive)) {
            best = i;
            bestLength = name.size();
        }
    }
    *pos += bestLength;
    return best;
}

}  // namespace

TCatalogueDateFormat::TCatalogueDateFormat(const QLocale& locale)
    : locale_(locale),
      dateFormat_(locale_.dateFormat(QLocale::ShortFormat)),
      timeFormat_(longTimeFormat(locale_)),
      zone_(QTimeZone::systemTimeZone()),
      amText_(locale_.amText()),
      pmText_(locale_.pmText())
{
    for (int form = 0; form < 2; ++form) {
        const QLocale::FormatType type = form ? QLocale::LongFormat : QLocale::ShortFormat;
        for (int k = 1; k <= 12; ++k)
            monthNames_[form] << locale_.monthName(k, type);
        for (int k = 1; k <= 7; ++k)
            dayNames_[form] << locale_.dayName(k, type);
    }
    fast_ = Compile(dateFormat_, &dateFields_) &&
            Compile(dateFormat_ + QLatin1Char(' ') + timeFormat_, &dateTimeFields_);
}

// Splits a format into fields by Qt's format letters; false when it holds a part that only
// the locale's parser reads (or lacks the day, month or year).
bool TCatalogueDateFormat::Compile(const QString& format, std::vector<Field>* fields)
{
    fields->clear();
    const bool twelveHour = format.contains(QLatin1String("AP"), Qt::CaseInsensitive) ||
                            format.contains(QLatin1Char('a')) || format.contains(QLatin1Char('A'));
    bool day = false, month = false, year = false;
    auto literal = [fields](const QString& text) {
        if (!fields->empty() && fields->back().kind == Field::Literal)
            fields->back().text += text;
        else
            fields->push_back({Field::Literal, 0, 0, text, false});
    };
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == c)
            ++run;
        if (c == QLatin1Char('\'')) {
            // Quoted text; two quotes are one literal quote.
            const qsizetype close = format.indexOf(QLatin1Char('\''), i + 1);
            if (close == i + 1) {
                literal(QStringLiteral("'"));
                i += 2;
                continue;
            }
            if (close < 0)
                return false;
            literal(format.mid(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        Field f {Field::Literal, 0, 0, {}, false};
        switch (c.unicode()) {
        case 'd':
            if (run > 4)
                return false;
            f.kind = run >= 3 ? Field::DayName : Field::Day;
            f.longName = run == 4;
            day = day || run <= 2;
            break;
        case 'M':
            if (run > 4)
                return false;
            f.kind = run >= 3 ? Field::MonthName : Field::Month;
            f.longName = run == 4;
            month = true;
            break;
        case 'y':
            if (run != 2 && run != 4)
                return false;
            f.kind = run == 2 ? Field::Year2 : Field::Year4;
            year = true;
            break;
        case 'h': f.kind = twelveHour ? Field::Hour12 : Field::Hour24; break;
        case 'H': f.kind = Field::Hour24; break;
        case 'm': f.kind = Field::Minute; break;
        case 's': f.kind = Field::Second; break;
        case 'z': f.kind = Field::Millisecond; break;
        case 'a':
        case 'A':
            f.kind = Field::AmPm;
            f.text = QString(c);  // upper or lower case when written
            // "AP" and "ap" are one field, as are "A" and "a".
            if (i + 1 < format.size() && format[i + 1].toLower() == QLatin1Char('p'))
                run = 2;
            break;
        default:
            literal(QString(run, c));
            i += run;
            continue;
        }
        if (f.kind == Field::Day || f.kind == Field::Month || f.kind == Field::Hour12 ||
            f.kind == Field::Hour24 || f.kind == Field::Minute || f.kind == Field::Second) {
            if (run > 2)
                return false;
            f.minDigits = static_cast<int>(run);
            f.maxDigits = 2;
        } else if (f.kind == Field::Millisecond) {
            if (run != 1 && run != 3)
                return false;
            f.minDigits = static_cast<int>(run);
            f.maxDigits = 3;
        } else if (f.kind == Field::Year2 || f.kind == Field::Year4) {
            f.minDigits = f.maxDigits = static_cast<int>(run);
        }
        fields->push_back(f);
        i += run;
    }
    return day && month && year;
}

bool TCatalogueDateFormat::Match(const std::vector<Field>& fields, QStringView text, QDate* date,
                                 QTime* time) const
{
    int d = 0, mo = 0, y = 0, h = 0, mi = 0, s = 0, ms = 0;
    int pm = -1;
    bool twelveHour = false;
    qsizetype pos = 0;
    for (const Field& f : fields) {
        switch (f.kind) {
        case Field::Literal:
            if (!text.mid(pos).startsWith(f.text))
                return false;
            pos += f.text.size();
            break;
        case Field::DayName:
            if (readName(text, &pos, dayNames_[f.longName]) < 0)
                return false;
            break;
        case Field::MonthName: {
            const int found = readName(text, &pos, monthNames_[f.longName]);
            if (found < 0)
                return false;
            mo = found + 1;
            break;
        }
        case Field::AmPm: {
            const int found = readName(text, &pos, {amText_, pmText_});
            if (found < 0)
                return false;
            pm = found;
            break;
        }
        default: {
            int v = 0;
            if (!readNumber(text, &pos, f.minDigits, f.maxDigits, &v))
                return false;
            switch (f.kind) {
            case Field::Day: d = v; break;
            case Field::Month: mo = v; break;
            case Field::Year2: y = v < 30 ? 2000 + v : 1900 + v; break;
            case Field::Year4: y = v; break;
            case Field::Hour12: h = v; twelveHour = true; break;
            case Field::Hour24: h = v; break;
            case Field::Minute: mi = v; break;
            case Field::Second: s = v; break;
            case Field::Millisecond: ms = v; break;
            default: break;
            }
        }
        }
    }
    if (pos != text.size())
        return false;
    if (twelveHour) {
        if (h < 1 || h > 12 || pm < 0)
            return false;
        h = h % 12 + (pm == 1 ? 12 : 0);
    }
    *date = QDate(y, mo, d);
    *time = QTime(h, mi, s, ms);
    return date->isValid() && time->isValid();
}

QDateTime TCatalogueDateFormat::Make(QDate date, QTime time) const
{
    return zone_.isValid() ? QDateTime(date, time, zone_) : QDateTime(date, time);
}

bool TCatalogueDateFormat::SlowParse(QStringView text, QDateTime* when) const
{
    const QString t = text.toString();
    const QDate date = fixTwoDigitYear(locale_.toDate(t, dateFormat_), dateFormat_);
    if (date.isValid()) {
        *when = QDateTime(date, QTime(0, 0));
        return true;
    }
    QDateTime dt = locale_.toDateTime(t, dateFormat_ + QLatin1Char(' ') + timeFormat_);
    if (!dt.isValid())
        return false;
    dt.setDate(fixTwoDigitYear(dt.date(), dateFormat_));
    *when = dt;
    return true;
}

bool TCatalogueDateFormat::Parse(QStringView text, QDateTime* when) const
{
    // No regional date and time is this long; a longer field is refused without parsing it.
    if (text.size() > 100)
        return false;
    QDate date;
    QTime time;
    if (fast_ && Match(dateFields_, text, &date, &time)) {
        *when = Make(date, QTime(0, 0));
        return true;
    }
    if (fast_ && Match(dateTimeFields_, text, &date, &time)) {
        *when = Make(date, time);
        return true;
    }
    // What the fields do not read (lenient spacing, another century form) the locale may.
    return SlowParse(text, when);
}

void TCatalogueDateFormat::Write(const std::vector<Field>& fields, QDate date, QTime time, QString* out) const
{
    auto number = [out](int value, int digits) {
        const QString text = QString::number(value);
        for (qsizetype i = text.size(); i < digits; ++i)
            out->append(QLatin1Char('0'));
        out->append(text);
    };
    for (const Field& f : fields) {
        switch (f.kind) {
        case Field::Literal: out->append(f.text); break;
        case Field::Day: number(date.day(), f.minDigits); break;
        case Field::DayName: out->append(dayNames_[f.longName].value(date.dayOfWeek() - 1)); break;
        case Field::Month: number(date.month(), f.minDigits); break;
        case Field::MonthName: out->append(monthNames_[f.longName].value(date.month() - 1)); break;
        case Field::Year2: number(date.year() % 100, 2); break;
        case Field::Year4: number(date.year(), 4); break;
        case Field::Hour12: number(time.hour() % 12 == 0 ? 12 : time.hour() % 12, f.minDigits); break;
        case Field::Hour24: number(time.hour(), f.minDigits); break;
        case Field::Minute: number(time.minute(), f.minDigits); break;
        case Field::Second: number(time.second(), f.minDigits); break;
        case Field::Millisecond: number(time.msec(), 3); break;
        case Field::AmPm: {
            const QString& text = time.hour() < 12 ? amText_ : pmText_;
            out->append(f.text == QLatin1String("a") ? text.toLower() : text.toUpper());
            break;
        }
        }
    }
}

QString TCatalogueDateFormat::Format(const QDateTime& when) const
{
    const QDate date = when.date();
    const QTime t = when.time();
    const bool withTime = t.hour() != 0 || t.minute() != 0 || t.second() != 0;
    if (!fast_ || date.year() < 1000 || date.year() > 9999) {
        QString text = locale_.toString(date, dateFormat_);
        if (withTime)
            text += QLatin1Char(' ') + locale_.toString(t, timeFormat_);
        return text;
    }
    QString text;
    text.reserve(32);
    Write(withTime ? dateTimeFields_ : dateFields_, date, t, &text);
    return text;
}

QString FormatCatalogueDateTime(const QDateTime& when)
{
    return TCatalogueDateFormat().Format(when);
}

bool ParseCatalogueDateTime(const QString& text, QDateTime* when)
{
    return TCatalogueDateFormat().Parse(text, when);
}
