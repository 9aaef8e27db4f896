#include "capture/recording_repair.h"

#include <QFile>
#include <QtEndian>
#include <cstring>
#include <vector>

#include "platform/log.h"

namespace {

struct TChunk
{
    char Id[4];
    quint32 Size;
};

bool ReadChunk(QFile &file, qint64 offset, TChunk &chunk)
{
    uchar raw[8];
    if (!file.seek(offset) || file.read(reinterpret_cast<char *>(raw), 8) != 8)
        return false;
    std::memcpy(chunk.Id, raw, 4);
    chunk.Size = qFromLittleEndian<quint32>(raw + 4);
    return true;
}

bool WriteU32(QFile &file, qint64 offset, quint32 value)
{
    uchar raw[4];
    qToLittleEndian(value, raw);
    return file.seek(offset) && file.write(reinterpret_cast<char *>(raw), 4) == 4;
}

bool Is(const char *id, const char *what)
{
    return std::memcmp(id, what, 4) == 0;
}

bool Printable(const char *id)
{
    for (int i = 0; i < 4; ++i)
        if (id[i] < 0x20 || id[i] > 0x7e)
            return false;
    return true;
}

// Largest RIFF file the repair handles: one RIFF, no OpenDML parts.
constexpr qint64 MaxRiff = qint64(1) << 30;

} // namespace

bool RepairWave(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const qint64 size = file.size();
    char head[12];
    if (size < 44 || file.read(head, 12) != 12 || !Is(head, "RIFF") || !Is(head + 8, "WAVE"))
        return false;
    quint16 blockAlign = 1;
    for (qint64 offset = 12; offset + 8 <= size;) {
        TChunk chunk;
        if (!ReadChunk(file, offset, chunk))
            return false;
        if (Is(chunk.Id, "fmt ") && chunk.Size >= 14) {
            uchar fmt[14];
            if (file.read(reinterpret_cast<char *>(fmt), 14) == 14)
                blockAlign = std::max<quint16>(1, qFromLittleEndian<quint16>(fmt + 12));
        } else if (Is(chunk.Id, "data")) {
            const qint64 start = offset + 8;
            qint64 data = size - start;
            data -= data % blockAlign;
            if (data > 0xffffffffLL - start)
                return false;
            if (chunk.Size == quint32(data) &&
                qFromLittleEndian<quint32>(head + 4) == quint32(start + data - 8))
                return true;
            const bool ok = WriteU32(file, 4, quint32(start + data - 8)) &&
                            WriteU32(file, offset + 4, quint32(data)) && file.resize(start + data);
            qCInfo(lcFiles) << "repaired the wave file" << path << ":" << data << "bytes of sound";
            return ok;
        }
        offset += 8 + qint64(chunk.Size) + (chunk.Size & 1);
    }
    return false;
}

bool RepairAvi(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const qint64 size = file.size();
    char head[12];
    if (size < 12 || file.read(head, 12) != 12 || !Is(head, "RIFF") || !Is(head + 8, "AVI "))
        return false;
    if (size > MaxRiff) {
        qCWarning(lcFiles) << path << "is too large to repair";
        return false;
    }
    // The top level: hdrl, movi, and idx1 when the file was finished.
    qint64 movi = -1, avih = -1, videoStrh = -1;
    bool hasIndex = false;
    for (qint64 offset = 12; offset + 8 <= size;) {
        TChunk chunk;
        char type[4] = {};
        if (!ReadChunk(file, offset, chunk) || !Printable(chunk.Id))
            break;
        if (Is(chunk.Id, "LIST") && file.read(type, 4) == 4) {
            if (Is(type, "movi")) {
                movi = offset;
                // An unfinished movi list has the size of an empty one.
                if (offset + 8 + qint64(chunk.Size) > size || chunk.Size <= 4)
                    break;
            } else if (Is(type, "hdrl")) {
                // The headers: avih, then one strl list per stream.
                const qint64 end = std::min(size, offset + 8 + qint64(chunk.Size));
                for (qint64 o = offset + 12; o + 8 <= end;) {
                    TChunk sub;
                    if (!ReadChunk(file, o, sub))
                        break;
                    char subType[4] = {};
                    if (Is(sub.Id, "avih"))
                        avih = o + 8;
                    else if (Is(sub.Id, "LIST") && file.read(subType, 4) == 4 &&
                             Is(subType, "strl") && videoStrh < 0) {
                        TChunk strh;
                        char fcc[4] = {};
                        if (ReadChunk(file, o + 12, strh) && Is(strh.Id, "strh") &&
                            file.read(fcc, 4) == 4 && Is(fcc, "vids"))
                            videoStrh = o + 20;
                    }
                    o += 8 + qint64(sub.Size) + (sub.Size & 1);
                }
            }
        } else if (Is(chunk.Id, "idx1")) {
            hasIndex = true;
        }
        offset += 8 + qint64(chunk.Size) + (chunk.Size & 1);
    }
    if (movi < 0)
        return false;
    if (hasIndex)
        return true;

    // The data chunks as far as they were written whole.
    struct TEntry
    {
        char Id[4];
        quint32 Offset, Size;
    };
    std::vector<TEntry> entries;
    quint32 videoFrames = 0;
    qint64 end = movi + 12;
    while (end + 8 <= size) {
        TChunk chunk;
        if (!ReadChunk(file, end, chunk) || !Printable(chunk.Id))
            break;
        const qint64 next = end + 8 + qint64(chunk.Size) + (chunk.Size & 1);
        if (end + 8 + qint64(chunk.Size) > size)
            break;
        if (!Is(chunk.Id, "JUNK") && !Is(chunk.Id, "LIST") &&
            !(chunk.Id[0] == 'i' && chunk.Id[1] == 'x')) {
            TEntry e;
            std::memcpy(e.Id, chunk.Id, 4);
            e.Offset = quint32(end - (movi + 8));
            e.Size = chunk.Size;
            entries.push_back(e);
            if (chunk.Id[2] == 'd')
                ++videoFrames;
        }
        end = std::min(next, size);
    }
    QByteArray index;
    index.reserve(int(entries.size() * 16 + 8));
    auto put = [&index](quint32 v) {
        uchar raw[4];
        qToLittleEndian(v, raw);
        index.append(reinterpret_cast<char *>(raw), 4);
    };
    index.append("idx1", 4);
    put(quint32(entries.size() * 16));
    for (const TEntry &e : entries) {
        index.append(e.Id, 4);
        put(0x10); // a key frame: every chunk starts a decodable unit here
        put(e.Offset);
        put(e.Size);
    }
    bool ok = file.resize(end) && WriteU32(file, movi + 4, quint32(end - movi - 8)) &&
              file.seek(end) && file.write(index) == index.size() &&
              WriteU32(file, 4, quint32(end + index.size() - 8));
    if (avih >= 0)
        ok = ok && WriteU32(file, avih + 16, videoFrames);
    if (videoStrh >= 0)
        ok = ok && WriteU32(file, videoStrh + 32, videoFrames);
    qCInfo(lcFiles) << "repaired the AVI file" << path << ":" << entries.size() << "chunks,"
                    << videoFrames << "pictures";
    return ok;
}

bool RepairRecording(const QString &path)
{
    const QString lower = path.toLower();
    if (lower.endsWith(".wav"))
        return RepairWave(path);
    if (lower.endsWith(".avi"))
        return RepairAvi(path);
    return true;
}
