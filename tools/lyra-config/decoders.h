// File decoders of lyra-config. Each decoder reads a file exactly as the
// program does (same reader, same checks) without changing anything on disk,
// and returns JSON.
#pragma once

#include <functional>

#include <QJsonObject>
#include <QString>
#include <QStringList>

struct TConfigDecoder
{
    QString Name;                                  // shown by --help
    std::function<bool(const QString &file)> Accepts; // by file name
    // args: whatever followed the file on the command line.
    std::function<QJsonObject(const QString &file, const QStringList &args)> Decode;
};

// Called from static initialisers of the decode_*.cpp files.
bool RegisterDecoder(TConfigDecoder decoder);
const QList<TConfigDecoder> &Decoders();

// True when the file's name (without folder) equals name, ignoring case.
bool FileNameIs(const QString &file, const QString &name);
