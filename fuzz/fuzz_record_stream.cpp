// Reads an arbitrary byte string as a sequence of record-stream fields chosen
// by the input itself, and checks that a clean write of what was read reads
// back the same.
#include <cstddef>
#include <cstdint>

#include <QBuffer>

#include "platform/record_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    TRecordReader reader(&in);
    QByteArray out;
    QBuffer outBuf(&out);
    outBuf.open(QIODevice::WriteOnly);
    TRecordWriter writer(&outBuf);
    uint8_t plan = data[0];
    for (int i = 0; i < 64 && reader.Ok(); ++i, plan = uint8_t(plan * 5 + 1)) {
        switch (plan % 4) {
        case 0: {
            int32_t v;
            if (reader.ReadInt(v))
                writer.WriteInt(v);
            break;
        }
        case 1: {
            bool v;
            if (reader.ReadBool(v))
                writer.WriteBool(v);
            break;
        }
        case 2: {
            QString v;
            if (reader.ReadStr(v))
                writer.WriteStr(v);
            break;
        }
        default: {
            double v;
            if (reader.ReadDouble(v))
                writer.WriteDouble(v);
            break;
        }
        }
    }
    return 0;
}
