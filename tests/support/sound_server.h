// A real sound server for tests, on a machine without sound hardware: a
// private PulseAudio daemon in this test process's runtime folder with a
// null sink. Through libasound's pulse plugin it gives ALSA's "default" and
// "pulse" devices real "Master" and "Capture" controls; pactl reads back
// what a program set, and the null sink's monitor records what it played.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

class TSoundServer
{
public:
    TSoundServer() = default;
    ~TSoundServer();
    TSoundServer(const TSoundServer &) = delete;
    TSoundServer &operator=(const TSoundServer &) = delete;

    // Starts the daemon and waits until it answers; also makes libasound
    // read its configuration again, whose pulse hook only takes effect
    // while a server runs.
    bool Start();
    void Stop();
    QString Error() const { return Failure; }

    // pactl with these arguments; the standard output, trimmed.
    QString Pactl(const QStringList &arguments, int *exitCode = nullptr) const;
    // The first channel's raw volume (65536 = 100%) and the mute state of
    // a sink or source ("@DEFAULT_SINK@", "@DEFAULT_SOURCE@", a name).
    int SinkVolume(const QString &sink = "@DEFAULT_SINK@") const;
    bool SinkMuted(const QString &sink = "@DEFAULT_SINK@") const;
    int SourceVolume(const QString &source = "@DEFAULT_SOURCE@") const;
    // Loads a module; its index, or -1.
    int LoadModule(const QStringList &arguments) const;

private:
    QProcess Daemon;
    QString Failure;
};

// Analysis of recorded 16-bit little-endian mono samples.
struct TToneMeasure
{
    double Rms = 0;                // 0..32768
    double CrossingsPerSecond = 0; // sign changes per second where it sounds
};
TToneMeasure MeasureTone(const QByteArray &s16le, int rate);

// Records from a source for ms milliseconds with parec (mono, 16-bit, at
// rate); the raw samples.
QByteArray RecordFrom(const QString &source, int ms, int rate = 48000);
