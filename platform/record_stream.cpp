#include "platform/record_stream.h"

#include <cstring>

#include <QIODevice>
#include <QtEndian>


bool TRecordReader::ReadRaw(void *data, qint64 size)
{
    if (!Good || !Device)
        return Good = false;
    if (Device->read(static_cast<char *>(data), size) != size)
        Good = false;
    return Good;
}

bool TRecordReader::ReadInt(int32_t &value)
{
    uchar raw[4];
    if (!ReadRaw(raw, 4))
        return false;
    value = qFromLittleEndian<qint32>(raw);
    return true;
}

bool TRecordReader::ReadBool(bool &value)
{
    int32_t v = 0;
    if (!ReadInt(v))
        return false;
    value = v != 0;
    return true;
}

bool TRecordReader::ReadByteInt(uint8_t &value)
{
    int32_t v = 0;
    if (!ReadInt(v))
        return false;
    value = v < 0 ? 0 : static_cast<uint8_t>(v & 0xff);
    return true;
}

bool TRecordReader::ReadStr(QString &value)
{
    int32_t length = 0;
    if (!ReadInt(length))
        return false;
    value.clear();
    if (length <= 0 || length > MaxStrLength)
        return true; // bytes of an over-long field stay unread
    QByteArray bytes(length, Qt::Uninitialized);
    if (!ReadRaw(bytes.data(), length))
        return false;
    value = QString::fromUtf8(bytes);
    return true;
}

bool TRecordReader::ReadDouble(double &value)
{
    uchar raw[8];
    if (!ReadRaw(raw, 8))
        return false;
    const quint64 bits = qFromLittleEndian<quint64>(raw);
    std::memcpy(&value, &bits, sizeof value);
    return true;
}

bool TRecordWriter::WriteRaw(const void *data, qint64 size)
{
    if (!Good || !Device)
        return Good = false;
    if (Device->write(static_cast<const char *>(data), size) != size)
        Good = false;
    return Good;
}

bool TRecordWriter::WriteInt(int32_t value)
{
    uchar raw[4];
    qToLittleEndian<qint32>(value, raw);
    return WriteRaw(raw, 4);
}

bool TRecordWriter::WriteBool(bool value) { return WriteInt(value ? 1 : 0); }

QByteArray StrBytes(const QString &value)
{
    QByteArray bytes = value.toUtf8();
    if (bytes.size() > MaxStrLength) {
        qsizetype cut = MaxStrLength;
        // Step back over UTF-8 continuation bytes so no character is split.
        while (cut > 0 && (static_cast<uchar>(bytes[cut]) & 0xc0) == 0x80)
            --cut;
        bytes.truncate(cut);
    }
    return bytes;
}

bool TRecordWriter::WriteStr(const QString &value)
{
    const QByteArray bytes = StrBytes(value);
    return WriteInt(static_cast<int32_t>(bytes.size())) && WriteRaw(bytes.constData(), bytes.size());
}

bool TRecordWriter::WriteDouble(double value)
{
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    uchar raw[8];
    qToLittleEndian<quint64>(bits, raw);
    return WriteRaw(raw, 8);
}

