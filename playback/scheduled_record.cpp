#include "playback/scheduled_record.h"

#include <QFile>
#include <QtEndian>

#include "platform/safe_file.h"

namespace {

int32_t Int(const QByteArray &record, int offset)
{
    return qFromLittleEndian<qint32>(reinterpret_cast<const uchar *>(record.constData()) + offset);
}

uint8_t Byte(const QByteArray &record, int offset)
{
    return uint8_t(record[offset]);
}

void PutInt(QByteArray &record, int offset, int32_t value)
{
    qToLittleEndian<qint32>(value, reinterpret_cast<uchar *>(record.data()) + offset);
}

bool ReadMagic(QIODevice *in)
{
    char raw[4];
    if (in->read(raw, 4) != 4)
        return false;
    return qFromLittleEndian<qint32>(reinterpret_cast<const uchar *>(raw)) == RelayMagic;
}

// Values the recording settings cannot take: a request carrying them is as
// damaged as one with a wrong magic.
bool InRange(const TRelayRequest &r)
{
    return r.Source >= RelayAntenna && r.Source <= RelayFM && r.Channel >= 0 && r.Format <= 9 &&
           r.Quality <= 6 && r.Kind <= 2 && r.NameFormat <= 1 && r.Width > 0 && r.Height > 0 &&
           r.Width <= 4096 && r.Height <= 4096 && r.BitRate > 0 && r.FrameRate >= 0 &&
           r.RecordLimit >= 0;
}

} // namespace

bool ReadRelayRecord(QIODevice *in, TRelayRequest &request)
{
    if (!in || !ReadMagic(in))
        return false;
    const QByteArray record = in->read(RelayRecordSize);
    if (record.size() != RelayRecordSize || !ReadMagic(in))
        return false;
    TRelayRequest r;
    r.Reserved = record.left(16);
    r.RecordLimit = Int(record, 16);
    r.Source = Int(record, 20);
    r.Channel = Int(record, 24);
    r.Format = Byte(record, 28);
    r.Width = Int(record, 32);
    r.Height = Int(record, 36);
    r.Quality = Byte(record, 40);
    r.BitRate = Int(record, 44);
    r.FrameRate = Int(record, 48);
    r.Kind = Byte(record, 52);
    r.NameFormat = Byte(record, 60);
    // A name without its terminating zero runs past the record: damaged.
    const QByteArray name = record.mid(RelayNameOffset);
    const qsizetype end = name.indexOf('\0');
    if (end < 0)
        return false;
    r.FileName = QString::fromUtf8(name.left(end));
    if (!InRange(r))
        return false;
    request = r;
    return true;
}

bool ReadRelayFile(const QString &path, TRelayRequest &request)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return ReadRelayRecord(&file, request);
}

bool EncodeRelayRecord(const TRelayRequest &request, QByteArray &bytes, QString *error)
{
    const QByteArray name = request.FileName.toUtf8();
    QString why;
    if (name.size() > RelayNameMax)
        why = QString("the file name is %1 bytes long; at most %2 fit")
                  .arg(name.size())
                  .arg(RelayNameMax);
    else if (name.contains('\0'))
        why = "the file name holds a zero byte";
    else if (!InRange(request))
        why = "a value of the request is out of its range";
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    QByteArray record(RelayRecordSize, '\0');
    record.replace(0, 16, request.Reserved.left(16).leftJustified(16, '\0'));
    PutInt(record, 16, request.RecordLimit);
    PutInt(record, 20, request.Source);
    PutInt(record, 24, request.Channel);
    record[28] = char(request.Format);
    PutInt(record, 32, request.Width);
    PutInt(record, 36, request.Height);
    record[40] = char(request.Quality);
    PutInt(record, 44, request.BitRate);
    PutInt(record, 48, request.FrameRate);
    record[52] = char(request.Kind);
    record[60] = char(request.NameFormat);
    record.replace(RelayNameOffset, name.size(), name);
    QByteArray magic(4, '\0');
    PutInt(magic, 0, RelayMagic);
    bytes = magic + record + magic;
    return true;
}

bool WriteRelayFile(const QString &path, const TRelayRequest &request, QString *error)
{
    QByteArray bytes;
    return EncodeRelayRecord(request, bytes, error) && WriteFileSafely(path, bytes, error);
}
