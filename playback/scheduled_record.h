// "Relay.rec": the request the scheduling agent writes into the program
// folder before it starts (or wakes) the program for an unattended
// recording. Little-endian: an Int magic 4500, a 320-byte record, the magic
// again. The program only reads the file; the agent (tools/tallon) writes it
// with WriteRelayRecord.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

class QIODevice;

inline constexpr int32_t RelayMagic = 4500;
inline constexpr int RelayRecordSize = 320;
inline constexpr int RelayFileSize = 4 + RelayRecordSize + 4;
// The file name stem occupies the record from offset 61 to its end,
// zero-terminated: at most 258 bytes of text.
inline constexpr int RelayNameOffset = 61;
inline constexpr int RelayNameMax = RelayRecordSize - RelayNameOffset - 1;

// Where the recording comes from.
enum TRelaySource : int32_t
{
    RelayAntenna = 0,
    RelayCable = 1,
    RelayMemory = 2,
    RelayComposite = 3,
    RelaySVideo = 4,
    RelayFM = 5,
};

struct TRelayRequest
{
    int32_t RecordLimit = 0; // seconds; the time limit is on for the run
    int32_t Source = RelayAntenna;
    int32_t Channel = 0;
    uint8_t Format = 1; // capture format index, 0 "MPEG 1" ... 9 "SVCD (PAL)"
    int32_t Width = 640;
    int32_t Height = 480;
    uint8_t Quality = 3;
    int32_t BitRate = 4000; // kbit/s
    int32_t FrameRate = 5;  // frame-rate choice index + 1
    uint8_t Kind = 0;       // 0 audio and video, 1 audio only, 2 no audio
    uint8_t NameFormat = 0; // 0 date-time name, 1 the given name
    QString FileName;       // the file name stem (UTF-8 in the file)
    // Bytes of the record this program does not read (the agent's own).
    QByteArray Reserved = QByteArray(16, '\0');

    bool IsTV() const { return Source >= RelayAntenna && Source <= RelayMemory; }
    bool IsFM() const { return Source == RelayFM; }
};

// Reads a request: the leading magic, 320 bytes of record, the trailing
// magic. Anything short or different, a name without its terminating zero
// or a value the recording settings cannot take is refused (false,
// `request` unchanged).
bool ReadRelayRecord(QIODevice *in, TRelayRequest &request);
bool ReadRelayFile(const QString &path, TRelayRequest &request);

// The file's bytes for a request; false (nothing made) when the name does
// not fit the record or a byte field is out of range.
bool EncodeRelayRecord(const TRelayRequest &request, QByteArray &bytes, QString *error = nullptr);
// Encodes and writes the file safely (whole or not at all).
bool WriteRelayFile(const QString &path, const TRelayRequest &request, QString *error = nullptr);
