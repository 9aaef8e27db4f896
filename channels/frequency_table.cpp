#include "channels/frequency_table.h"

#include <limits>

#include <QIODevice>
#include <QtEndian>

int32_t TFrequencyRecord::FrequencyHz(int half, int channel) const
{
    if (half < 0 || half > 1 || channel < 1 || channel > FrequencyTableChannels)
        return 0;
    const int64_t hz = int64_t(Half[half][channel]) * FrequencyTableUnitHz;
    if (hz < 0 || hz > std::numeric_limits<int32_t>::max())
        return 0;
    return int32_t(hz);
}

bool ReadFrequencyRecord(QIODevice *device, int record, TFrequencyRecord &out)
{
    if (!device || record < 0)
        return false;
    const qint64 offset = qint64(record) * FrequencyRecordSize;
    if (!device->isSequential() && device->size() < offset + FrequencyRecordSize)
        return false;
    if (!device->seek(offset))
        return false;
    const QByteArray bytes = device->read(FrequencyRecordSize);
    if (bytes.size() != FrequencyRecordSize)
        return false;
    const auto *raw = reinterpret_cast<const uchar *>(bytes.constData());
    for (int half = 0; half < 2; ++half)
        for (int k = 0; k < FrequencyHalfElements; ++k)
            out.Half[half][k] = qFromLittleEndian<qint32>(raw + (half * FrequencyHalfElements + k) * 4);
    return true;
}

int FrequencyRecordCount(QIODevice *device)
{
    if (!device || device->isSequential())
        return 0;
    return int(device->size() / FrequencyRecordSize);
}

QByteArray EncodeFrequencyRecord(const TFrequencyRecord &record)
{
    QByteArray bytes(FrequencyRecordSize, '\0');
    auto *raw = reinterpret_cast<uchar *>(bytes.data());
    for (int half = 0; half < 2; ++half)
        for (int k = 0; k < FrequencyHalfElements; ++k)
            qToLittleEndian<qint32>(record.Half[half][k], raw + (half * FrequencyHalfElements + k) * 4);
    return bytes;
}
