#include "reports/catalogue_merge.h"

#include "core/code_page.h"

#include <QHash>

namespace {

// All four fields, so that an entry read twice from the same line has the same key.
QByteArray fingerprint(const TCatalogueEntry& e)
{
    const QDate d = e.cDateTime.date();
    const QTime t = e.cDateTime.time();
    return QByteArray::number(d.isValid() ? d.toJulianDay() : -1) + ' ' +
           QByteArray::number(t.isValid() ? t.msecsSinceStartOfDay() : -1) + '\t' + e.Caption + '\t' +
           e.FileName + '\t' + e.sType;
}

QString captionKey(const TCatalogueEntry& e)
{
    return DecodeText(e.Caption).toCaseFolded();
}

}  // namespace

std::vector<TCatalogueEntry> MergeCatalogues(const std::vector<TCatalogueEntry>& base,
                                             const std::vector<TCatalogueEntry>& ours,
                                             const std::vector<TCatalogueEntry>& theirs)
{
    // Entries of the base still in the file are unchanged there; the others were deleted.
    QHash<QByteArray, int> unmatchedBase;
    for (const TCatalogueEntry& e : base)
        ++unmatchedBase[fingerprint(e)];
    std::vector<const TCatalogueEntry*> added;
    for (const TCatalogueEntry& e : theirs) {
        auto it = unmatchedBase.find(fingerprint(e));
        if (it != unmatchedBase.end() && it.value() > 0)
            --it.value();
        else
            added.push_back(&e);
    }
    QHash<QByteArray, int> deleted;
    for (auto it = unmatchedBase.cbegin(); it != unmatchedBase.cend(); ++it)
        if (it.value() > 0)
            deleted.insert(it.key(), it.value());
    if (added.empty() && deleted.isEmpty())
        return ours;

    std::vector<TCatalogueEntry> result;
    result.reserve(ours.size() + added.size());
    for (const TCatalogueEntry& e : ours) {
        auto it = deleted.find(fingerprint(e));
        if (it != deleted.end() && it.value() > 0)
            --it.value();
        else
            result.push_back(e);
    }
    // Of two entries for one report name the newer stays, at the end.
    QHash<QString, std::size_t> byCaption;
    for (std::size_t i = 0; i < result.size(); ++i)
        byCaption.insert(captionKey(result[i]), i);
    std::vector<bool> dropped(result.size(), false);
    for (const TCatalogueEntry* e : added) {
        const QString key = captionKey(*e);
        auto same = byCaption.find(key);
        if (same != byCaption.end()) {
            if (result[same.value()].cDateTime >= e->cDateTime)
                continue;  // this instance holds a newer report of that name
            dropped[same.value()] = true;
        }
        byCaption.insert(key, result.size());
        result.push_back(*e);
        dropped.push_back(false);
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < result.size(); ++i)
        if (!dropped[i])
            result[kept++] = std::move(result[i]);
    result.resize(kept);
    return result;
}
