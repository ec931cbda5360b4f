#include "journal.h"

#include <QLocale>
#include <QTimeZone>

#include <algorithm>

namespace {

QString number(double x) { return QString::number(x, 'g', QLocale::FloatingPointShortest); }

// a - b with no more decimals than its operands have as printed, so that
// 131.4425 - 135 reads -3.5575 and not -3.5575000000000045.
QString difference(double a, double b) {
    const QString ta = number(a), tb = number(b);
    if (ta.contains('e') || tb.contains('e')) return number(a - b);
    auto decimals = [](const QString& t) { return t.contains('.') ? int(t.size() - t.indexOf('.') - 1) : 0; };
    QString text = QString::number(a - b, 'f', std::max(decimals(ta), decimals(tb)));
    if (text.contains('.')) {
        while (text.endsWith('0')) text.chop(1);
        if (text.endsWith('.')) text.chop(1);
    }
    return text == "-0" ? QStringLiteral("0") : text;
}

}  // namespace

bool Trial::plausible() const {
    for (std::size_t i = 0; i < setting.size(); ++i)
        if (!(setting[i] >= facts::kVariables[i].min - 1e-9 && setting[i] <= facts::kVariables[i].max + 1e-9)) return false;
    // The comparisons are false for NaN.
    return A1 >= 0 && A1 <= 360 && A2 >= 0 && A2 <= 360 && H >= -1000 && H <= 1000 && tooling >= 0 && tooling <= 1e9 &&
           adjustment >= 0 && adjustment <= 1e9 && count >= 0;
}

Trial trialFrom(const JournalRow& row) {
    Trial t;
    static_cast<JournalRow&>(t) = row;
    t.time = QDateTime::fromString(row.recorded, Qt::ISODateWithMs).toLocalTime();
    return t;
}

QString classRowColumns() {
    return QStringLiteral("%1, recu::text, extract(epoch FROM recu)").arg(journalColumns().join(", "));
}

int classRowReceivedColumn() { return int(journalColumns().size()); }

Trial classTrialAt(const QSqlQuery& q) {
    Trial t = trialFrom(journalRowAt(q, 0));
    const double seconds = q.value(classRowReceivedColumn() + 1).toDouble();
    t.received = QDateTime::fromMSecsSinceEpoch(qint64(seconds * 1000), QTimeZone::utc());
    return t;
}

QStringList csvColumns() { return journalCsvColumns(); }

QStringList csvFields(const Trial& t) {
    QStringList f{t.time.toString(Qt::ISODateWithMs), t.session};
    for (double v : t.setting) f << number(v);
    f << number(t.A1) << number(t.A2) << number(t.H) << difference(t.A1, kTargetA1)
      << difference(t.A2, kTargetA2) << difference(t.H, kTargetH) << number(t.tooling)
      << number(t.adjustment) << number(t.total()) << QString::number(t.count)
      << (t.charged ? "oui" : "non");
    return f;
}
