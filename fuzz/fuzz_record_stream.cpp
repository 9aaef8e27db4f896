// Reads an arbitrary byte string as a sequence of record-stream fields chosen
// by the input itself, writes what was read with the writer, reads that back
// with the same sequence and checks every field came back as written.
#include <QBuffer>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <variant>
#include <vector>

#include "platform/record_stream.h"

namespace {

using TField = std::variant<int32_t, bool, QString, double>;

// The kind of the i-th field of a plan (Int, Bool, Str, Double).
int KindAt(uint8_t &plan)
{
    const int kind = plan % 4;
    plan = uint8_t(plan * 5 + 1);
    return kind;
}

bool ReadField(TRecordReader &reader, int kind, TField &field)
{
    switch (kind) {
    case 0: {
        int32_t v = 0;
        return reader.ReadInt(v) && (field = v, true);
    }
    case 1: {
        bool v = false;
        return reader.ReadBool(v) && (field = v, true);
    }
    case 2: {
        QString v;
        return reader.ReadStr(v) && (field = v, true);
    }
    default: {
        double v = 0;
        return reader.ReadDouble(v) && (field = v, true);
    }
    }
}

bool WriteField(TRecordWriter &writer, const TField &field)
{
    return std::visit(
        [&writer](const auto &v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, int32_t>)
                return writer.WriteInt(v);
            else if constexpr (std::is_same_v<T, bool>)
                return writer.WriteBool(v);
            else if constexpr (std::is_same_v<T, QString>)
                return writer.WriteStr(v);
            else
                return writer.WriteDouble(v);
        },
        field);
}

// What a written field reads back as: text is stored cut to MaxStrLength
// bytes at a character boundary; a double keeps its bits (NaNs included).
bool SameAsWritten(const TField &written, const TField &back)
{
    if (written.index() != back.index())
        return false;
    if (auto *text = std::get_if<QString>(&written))
        return QString::fromUtf8(StrBytes(*text)) == std::get<QString>(back);
    if (auto *d = std::get_if<double>(&written)) {
        const double b = std::get<double>(back);
        return std::memcmp(d, &b, sizeof b) == 0;
    }
    return written == back;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    TRecordReader reader(&in);
    std::vector<TField> fields;
    uint8_t plan = data[0];
    for (int i = 0; i < 64; ++i) {
        TField field;
        if (!ReadField(reader, KindAt(plan), field))
            break;
        fields.push_back(std::move(field));
    }

    QByteArray out;
    QBuffer outBuf(&out);
    outBuf.open(QIODevice::WriteOnly);
    TRecordWriter writer(&outBuf);
    for (const TField &field : fields)
        if (!WriteField(writer, field))
            std::abort();
    outBuf.close();

    QBuffer back(&out);
    back.open(QIODevice::ReadOnly);
    TRecordReader again(&back);
    plan = data[0];
    for (const TField &field : fields) {
        TField read;
        if (!ReadField(again, KindAt(plan), read) || !SameAsWritten(field, read))
            std::abort();
    }
    // Nothing is left over: the writer wrote exactly the fields read.
    if (!back.atEnd())
        std::abort();
    return 0;
}
