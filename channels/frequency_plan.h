// Readable sources of "TVTable.tbl": one plan file per broadcast or cable
// channel plan, and a record list naming the antenna and cable plan of each
// record. Used by the generator that builds the shipped table and by the
// tests that check it; QtCore only.
//
// Plan file: '#' starts a comment; "include NAME" takes every channel of
// another plan in the same folder; other lines are
//   ELEMENT  VIDEO-CARRIER-KHZ  LABEL...
// Record list: lines "RECORD ANTENNA-PLAN CABLE-PLAN [users...]".
#pragma once

#include <cstdint>
#include <map>

#include <QByteArray>
#include <QList>
#include <QString>

struct TPlanChannel
{
    int32_t Khz = 0;
    QString Label;
};

// Element (1..160) -> channel.
using TFrequencyPlan = std::map<int, TPlanChannel>;

struct TPlanRecord
{
    int Record = 0;
    QString AntennaPlan;
    QString CablePlan;
};

// Carriers a plan may hold: strictly inside 40..900 MHz, whole 10 kHz.
constexpr int32_t PlanMinKhz = 40000;
constexpr int32_t PlanMaxKhz = 900000;

// False with a message naming file and line on any error: unreadable file,
// bad line, element outside 1..160 or given twice, carrier outside the band
// or not a whole number of 10 kHz, include loop.
bool ReadFrequencyPlan(const QString &path, TFrequencyPlan &plan, QString &error);
bool ReadPlanRecords(const QString &path, QList<TPlanRecord> &records, QString &error);

// The whole table: every record of the list (which must be 0..n-1, each
// once), each half from its plan.
bool BuildFrequencyTable(const QString &recordsPath, QByteArray &table, QString &error);
