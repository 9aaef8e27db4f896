// Loading and saving "QPAVO2.cfg", and loading a record of "TVTable.tbl"
// into the TV lists.
#include <QBuffer>
#include <QFile>

#include "channels/channel_file.h"
#include "channels/channel_info.h"
#include "channels/frequency_table.h"
#include "channels/preview_info.h"
#include "channels/tuner_port.h"
#include "platform/log.h"
#include "platform/messages.h"
#include "platform/program_folder.h"
#include "platform/safe_file.h"

namespace {
const char *const ChannelFileName = "QPAVO2.cfg";
const char *const FrequencyFileName = "TVTable.tbl";
} // namespace

void TChannelInfo::ExportFileData(TChannelFileData &d) const
{
    d.TableNumber = TableNumber;
    d.DefaultStandard = DefaultStandard;
    d.CountryCode = CountryCode;
    d.SystemChoice = SystemChoice;
    d.CableType = CableType;
    d.Mode = Mode;
    d.CompositeStandard = CompositeStandard;
    d.SVideoStandard = SVideoStandard;
    d.Antenna = Antenna;
    d.Cable = Cable;
    d.Memory = Memory;
    d.FMMemory = FMMemory;
    d.CurrentChannel = CurrentChannel;
    d.LastChannel = LastChannel;
    d.CurrentMemory = CurrentMemory;
    d.LastMemory = LastMemory;
    d.CurrentFM = CurrentFM;
    d.LastFM = LastFM;
    d.Source = Source;
}

// The whole file has been read and checked before anything is applied, so
// a damaged file never leaves half a table behind. The lists and numbers go
// in before SetMode, so that its tune already uses the stored channel.
void TChannelInfo::ApplyFileData(const TChannelFileData &d, TPreviewInfo *preview)
{
    SetTableNumber(d.TableNumber);
    SetDefaultStandard(d.DefaultStandard);
    SetCountry(d.CountryCode);
    SystemChoice = d.SystemChoice;
    CableType = d.CableType;
    CompositeStandard = d.CompositeStandard;
    SVideoStandard = d.SVideoStandard;
    Antenna = d.Antenna;
    Cable = d.Cable;
    Memory = d.Memory;
    FMMemory = d.FMMemory;
    CurrentChannel = d.CurrentChannel;
    LastChannel = d.LastChannel;
    CurrentMemory = d.CurrentMemory;
    LastMemory = d.LastMemory;
    CurrentFM = d.CurrentFM;
    LastFM = d.LastFM;
    SetMode(d.Mode);
    SetSource(d.Source);
    if (preview) {
        preview->SetCustomize(d.Customize);
        preview->SetDimension(d.Dimension < 1 ? 3 : d.Dimension);
        preview->Interval = d.Interval < 1 ? 2 : d.Interval;
        preview->CustomCells = d.CustomCells;
    }
}

void TChannelInfo::LoadChannelSettings(TPreviewInfo *preview)
{
    const QString path = ProgramFolder::File(ChannelFileName);
    QFile file(path);
    TChannelFileStatus status = TChannelFileStatus::Empty;
    TChannelFileData data;
    if (file.open(QIODevice::ReadOnly)) {
        status = ReadChannelFile(&file, data);
        file.close();
    } else if (file.exists()) {
        qCWarning(lcFiles) << "cannot open" << path << file.errorString();
        status = TChannelFileStatus::Damaged;
    }
    if (status == TChannelFileStatus::Ok) {
        ApplyFileData(data, preview);
        return;
    }
    if (status == TChannelFileStatus::Damaged) {
        qCWarning(lcFiles) << "damaged channel settings" << path;
        ShowWarning(1104);
    }
    ResetToDefaults();
    if (TunerPort)
        SpreadFMMemories(TunerPort->FMMinimum(), TunerPort->FMMaximum());
    if (preview)
        preview->ResetPreview();
    if (status == TChannelFileStatus::Damaged)
        QFile::remove(path);
}

bool TChannelInfo::SaveChannelSettings(const TPreviewInfo *preview) const
{
    TChannelFileData data;
    ExportFileData(data);
    if (preview) {
        data.Customize = preview->Customize != 0;
        data.Dimension = preview->Dimension;
        data.Interval = preview->Interval;
        data.CustomCells = preview->CustomCells;
    }
    // Written beside the old file and renamed over it only when complete:
    // a failed write leaves neither a partial file nor a lost old one.
    const QString path = ProgramFolder::File(ChannelFileName);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QString error;
    const bool ok = buffer.open(QIODevice::WriteOnly) && WriteChannelFile(&buffer, data) &&
                    WriteFileSafely(path, bytes, &error);
    if (!ok) {
        qCWarning(lcFiles).noquote() << (error.isEmpty() ? "cannot write " + path : error);
        ShowWarningText("Cannot write channel config....");
    }
    return ok;
}

bool TChannelInfo::LoadFrequencyTable(int32_t record)
{
    QFile file(ProgramFolder::File(FrequencyFileName));
    TFrequencyRecord data;
    if (!file.open(QIODevice::ReadOnly) || !ReadFrequencyRecord(&file, record, data)) {
        qCWarning(lcFiles) << "no record" << record << "in" << file.fileName();
        ShowWarning(1007);
        return false;
    }
    for (int half = 0; half < 2; ++half) {
        TTVList &list = List(half == 0);
        for (int k = 1; k <= TVChannelCount; ++k) {
            TTVChannel &c = list[k];
            c.Frequency = c.TableFrequency = data.FrequencyHz(half, k);
            c.Enabled = c.SignalFound = c.AudioMode = 0;
        }
    }
    return true;
}
