// Little-endian record streams: the layout of every binary file the program
// keeps (settings, channels, lists, the agent's hand-off).
//
// Fields are Int (32-bit signed), Bool (an Int; any non-zero reads as true),
// Str (an Int byte length n, then n bytes of UTF-8 text without terminator)
// and Double (64-bit IEEE-754). A Str whose length is above MaxStrLength reads
// as empty and its bytes are left in the stream, so the reader stays where it
// was and the file's closing marker check catches the damage.
#pragma once

#include <cstdint>

#include <QByteArray>
#include <QString>

class QIODevice;


constexpr int32_t MaxStrLength = 512;

class TRecordReader
{
public:
    // Reads from the device's current position; the device is not owned.
    explicit TRecordReader(QIODevice *device) : Device(device) {}

    bool ReadInt(int32_t &value);
    bool ReadBool(bool &value);
    bool ReadByteInt(uint8_t &value); // Int whose low 8 bits are kept; negative reads as 0
    bool ReadStr(QString &value);
    bool ReadDouble(double &value);

    // False once any read came up short; later reads fail too.
    bool Ok() const { return Good; }

private:
    bool ReadRaw(void *data, qint64 size);
    QIODevice *Device;
    bool Good = true;
};

class TRecordWriter
{
public:
    explicit TRecordWriter(QIODevice *device) : Device(device) {}

    bool WriteInt(int32_t value);
    bool WriteBool(bool value);
    // Text longer than MaxStrLength bytes is cut at a character boundary:
    // a longer field could never be read back and would take the whole file
    // with it.
    bool WriteStr(const QString &value);
    bool WriteDouble(double value);

    bool Ok() const { return Good; }

private:
    bool WriteRaw(const void *data, qint64 size);
    QIODevice *Device;
    bool Good = true;
};

// The UTF-8 bytes WriteStr stores for a text (cut as described above).
QByteArray StrBytes(const QString &value);

