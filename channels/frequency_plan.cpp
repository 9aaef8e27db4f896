#include "channels/frequency_plan.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include "channels/frequency_table.h"

namespace {

bool ReadLines(const QString &path, QStringList &lines, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    lines = QString::fromUtf8(file.readAll()).split('\n');
    return true;
}

QStringList Fields(QString line)
{
    const qsizetype hash = line.indexOf('#');
    if (hash >= 0)
        line.truncate(hash);
    return line.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
}

bool ReadPlan(const QString &path, TFrequencyPlan &plan, QStringList &open, QString &error)
{
    const QString canonical = QFileInfo(path).absoluteFilePath();
    if (open.contains(canonical)) {
        error = QStringLiteral("%1: included from itself").arg(path);
        return false;
    }
    QStringList lines;
    if (!ReadLines(path, lines, error))
        return false;
    open.append(canonical);
    const QString folder = QFileInfo(path).absolutePath();
    for (int i = 0; i < lines.size(); ++i) {
        const QStringList f = Fields(lines[i]);
        if (f.isEmpty())
            continue;
        const QString where = QStringLiteral("%1:%2").arg(path).arg(i + 1);
        if (f[0] == QLatin1String("include")) {
            if (f.size() != 2) {
                error = where + ": include takes one plan name";
                return false;
            }
            if (!ReadPlan(folder + '/' + f[1], plan, open, error))
                return false;
            continue;
        }
        bool okElement = false, okKhz = false;
        const int element = f[0].toInt(&okElement);
        const int khz = f.size() >= 2 ? f[1].toInt(&okKhz) : 0;
        if (!okElement || !okKhz || f.size() < 3) {
            error = where + ": expected ELEMENT KHZ LABEL";
            return false;
        }
        if (element < 1 || element > FrequencyTableChannels) {
            error = where + QStringLiteral(": element %1 outside 1..160").arg(element);
            return false;
        }
        if (khz <= PlanMinKhz || khz >= PlanMaxKhz || khz % 10 != 0) {
            error = where + QStringLiteral(": %1 kHz is no carrier of the table").arg(khz);
            return false;
        }
        if (plan.count(element)) {
            error = where + QStringLiteral(": element %1 given twice").arg(element);
            return false;
        }
        plan[element] = TPlanChannel{khz, f.mid(2).join(' ')};
    }
    open.removeLast();
    return true;
}

} // namespace

bool ReadFrequencyPlan(const QString &path, TFrequencyPlan &plan, QString &error)
{
    QStringList open;
    plan.clear();
    return ReadPlan(path, plan, open, error);
}

bool ReadPlanRecords(const QString &path, QList<TPlanRecord> &records, QString &error)
{
    QStringList lines;
    if (!ReadLines(path, lines, error))
        return false;
    records.clear();
    for (int i = 0; i < lines.size(); ++i) {
        const QStringList f = Fields(lines[i]);
        if (f.isEmpty())
            continue;
        bool ok = false;
        const int record = f[0].toInt(&ok);
        if (!ok || f.size() < 3 || record != records.size()) {
            error = QStringLiteral("%1:%2: expected record %3 with two plans")
                        .arg(path).arg(i + 1).arg(records.size());
            return false;
        }
        records.append(TPlanRecord{record, f[1], f[2]});
    }
    if (records.isEmpty()) {
        error = path + ": no records";
        return false;
    }
    return true;
}

bool BuildFrequencyTable(const QString &recordsPath, QByteArray &table, QString &error)
{
    QList<TPlanRecord> records;
    if (!ReadPlanRecords(recordsPath, records, error))
        return false;
    const QString folder = QFileInfo(recordsPath).absolutePath();
    table.clear();
    for (const TPlanRecord &r : records) {
        TFrequencyRecord record;
        const QString plans[2] = {r.AntennaPlan, r.CablePlan};
        for (int half = 0; half < 2; ++half) {
            TFrequencyPlan plan;
            if (!ReadFrequencyPlan(folder + '/' + plans[half], plan, error))
                return false;
            for (const auto &[element, channel] : plan)
                record.Half[half][element] = channel.Khz / 10;
        }
        table += EncodeFrequencyRecord(record);
    }
    return true;
}
