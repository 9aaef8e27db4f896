#include "channels/channel_file.h"

#include <QIODevice>

#include "platform/record_stream.h"

namespace {

bool ReadTV(TRecordReader &r, TTVChannel &c)
{
    bool enabled = false, found = false;
    r.ReadBool(enabled);
    r.ReadBool(found);
    c.Enabled = enabled;
    c.SignalFound = found;
    r.ReadByteInt(c.Standard);
    r.ReadByteInt(c.AudioMode);
    r.ReadInt(c.Frequency);
    r.ReadInt(c.TableFrequency);
    r.ReadStr(c.Name);
    r.ReadStr(c.Extra);
    return r.Ok();
}

void WriteTV(TRecordWriter &w, const TTVChannel &c)
{
    w.WriteBool(c.Enabled != 0);
    w.WriteBool(c.SignalFound != 0);
    w.WriteInt(c.Standard);
    w.WriteInt(c.AudioMode);
    w.WriteInt(c.Frequency);
    w.WriteInt(c.TableFrequency);
    w.WriteStr(c.Name);
    w.WriteStr(c.Extra);
}

} // namespace

TChannelFileStatus ReadChannelFile(QIODevice *device, TChannelFileData &d)
{
    if (!device || device->atEnd())
        return TChannelFileStatus::Empty;
    TRecordReader r(device);
    int32_t head = 0;
    if (!r.ReadInt(head) || head != ChannelFileHead)
        return TChannelFileStatus::Damaged;

    r.ReadByteInt(d.TableNumber);
    r.ReadByteInt(d.DefaultStandard);
    r.ReadInt(d.CountryCode);
    r.ReadByteInt(d.SystemChoice);
    r.ReadByteInt(d.CableType);
    r.ReadByteInt(d.Mode);
    r.ReadByteInt(d.CompositeStandard);
    r.ReadByteInt(d.SVideoStandard);
    for (int n = 1; n <= TVChannelCount && r.Ok(); ++n)
        ReadTV(r, d.Antenna[n]);
    for (int n = 1; n <= TVChannelCount && r.Ok(); ++n)
        ReadTV(r, d.Cable[n]);
    for (int n = 1; n <= MemoryCount && r.Ok(); ++n) {
        TMemoryChannel &m = d.Memory[n];
        bool enabled = false;
        r.ReadBool(enabled);
        m.Enabled = enabled;
        r.ReadByteInt(m.List);
        r.ReadInt(m.Number);
        r.ReadStr(m.Name);
    }
    for (int n = 1; n <= FMMemoryCount && r.Ok(); ++n) {
        r.ReadInt(d.FMMemory[n].Frequency);
        r.ReadStr(d.FMMemory[n].Name);
    }
    r.ReadInt(d.CurrentChannel);
    r.ReadInt(d.LastChannel);
    r.ReadInt(d.CurrentMemory);
    r.ReadInt(d.LastMemory);
    r.ReadInt(d.CurrentFM);
    r.ReadInt(d.LastFM);
    r.ReadByteInt(d.Source);
    r.ReadBool(d.Customize);
    r.ReadInt(d.Dimension);
    r.ReadInt(d.Interval);
    for (auto &row : d.CustomCells) {
        for (auto &cell : row) {
            r.ReadByteInt(cell.Kind);
            r.ReadInt(cell.Channel);
        }
    }
    int32_t tail = 0;
    r.ReadInt(tail);
    if (!r.Ok() || tail != ChannelFileTail)
        return TChannelFileStatus::Damaged;
    return TChannelFileStatus::Ok;
}

bool WriteChannelFile(QIODevice *device, const TChannelFileData &d)
{
    TRecordWriter w(device);
    w.WriteInt(ChannelFileHead);
    w.WriteInt(d.TableNumber);
    w.WriteInt(d.DefaultStandard);
    w.WriteInt(d.CountryCode);
    w.WriteInt(d.SystemChoice);
    w.WriteInt(d.CableType);
    w.WriteInt(d.Mode);
    w.WriteInt(d.CompositeStandard);
    w.WriteInt(d.SVideoStandard);
    for (int n = 1; n <= TVChannelCount; ++n)
        WriteTV(w, d.Antenna[n]);
    for (int n = 1; n <= TVChannelCount; ++n)
        WriteTV(w, d.Cable[n]);
    for (int n = 1; n <= MemoryCount; ++n) {
        const TMemoryChannel &m = d.Memory[n];
        w.WriteBool(m.Enabled != 0);
        w.WriteInt(m.List);
        w.WriteInt(m.Number);
        w.WriteStr(m.Name);
    }
    for (int n = 1; n <= FMMemoryCount; ++n) {
        w.WriteInt(d.FMMemory[n].Frequency);
        w.WriteStr(d.FMMemory[n].Name);
    }
    w.WriteInt(d.CurrentChannel);
    w.WriteInt(d.LastChannel);
    w.WriteInt(d.CurrentMemory);
    w.WriteInt(d.LastMemory);
    w.WriteInt(d.CurrentFM);
    w.WriteInt(d.LastFM);
    w.WriteInt(d.Source);
    w.WriteBool(d.Customize);
    w.WriteInt(d.Dimension);
    w.WriteInt(d.Interval);
    for (const auto &row : d.CustomCells) {
        for (const auto &cell : row) {
            w.WriteInt(cell.Kind);
            w.WriteInt(cell.Channel);
        }
    }
    w.WriteInt(ChannelFileTail);
    return w.Ok();
}
