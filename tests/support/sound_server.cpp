#include "sound_server.h"

#include <algorithm>
#include <cmath>
#include <csignal>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <alsa/asoundlib.h>

namespace {

int FirstVolume(const QString &text)
{
    const auto m = QRegularExpression(R"(:\s*(\d+)\s*/)").match(text);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

} // namespace

TSoundServer::~TSoundServer()
{
    Stop();
}

bool TSoundServer::Start()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty()) {
        Failure = "no runtime folder";
        return false;
    }
    Daemon.setProgram("pulseaudio");
    // -n: no default script; the null sink is the one output, its monitor
    // the default input.
    Daemon.setArguments({"-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit",
                         "--log-target=stderr", "--log-level=error", "-L", "module-null-sink", "-L",
                         "module-native-protocol-unix"});
    Daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    Daemon.start();
    if (!Daemon.waitForStarted(5000)) {
        Failure = "pulseaudio does not start: " + Daemon.errorString();
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    int code = -1;
    while (clock.elapsed() < 10000 && Daemon.state() == QProcess::Running) {
        if (QFile::exists(runtime + "/pulse/native")) {
            Pactl({"info"}, &code);
            if (code == 0)
                break;
        }
        QThread::msleep(20);
    }
    if (code != 0) {
        Failure = "pulseaudio does not answer";
        Stop();
        return false;
    }
    // libasound decided at its first use whether the pulse plugin serves
    // "default"; let it decide again now that a server runs.
    snd_config_update_free_global();
    return true;
}

void TSoundServer::Stop()
{
    if (Daemon.state() == QProcess::NotRunning)
        return;
    Daemon.terminate();
    if (!Daemon.waitForFinished(5000)) {
        Daemon.kill();
        Daemon.waitForFinished(2000);
    }
    snd_config_update_free_global();
}

QString TSoundServer::Pactl(const QStringList &arguments, int *exitCode) const
{
    QProcess p;
    p.start("pactl", arguments);
    p.waitForFinished(10000);
    if (exitCode)
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

int TSoundServer::SinkVolume(const QString &sink) const
{
    return FirstVolume(Pactl({"get-sink-volume", sink}));
}

bool TSoundServer::SinkMuted(const QString &sink) const
{
    return Pactl({"get-sink-mute", sink}).endsWith("yes");
}

int TSoundServer::SourceVolume(const QString &source) const
{
    return FirstVolume(Pactl({"get-source-volume", source}));
}

int TSoundServer::LoadModule(const QStringList &arguments) const
{
    int code = -1;
    const QString index = Pactl(QStringList{"load-module"} + arguments, &code);
    return code == 0 ? index.toInt() : -1;
}

TToneMeasure MeasureTone(const QByteArray &s16le, int rate)
{
    TToneMeasure m;
    const int n = int(s16le.size() / 2);
    if (n < 2)
        return m;
    const auto *s = reinterpret_cast<const int16_t *>(s16le.constData());
    double sum = 0;
    for (int i = 0; i < n; ++i)
        sum += double(s[i]) * s[i];
    m.Rms = std::sqrt(sum / n);
    // The pitch from the blocks that sound: a dropout on a loaded machine
    // shortens the tone, it does not lower it.
    const int block = std::max(1, rate / 200);
    int crossings = 0, counted = 0;
    for (int b = 0; b + block <= n; b += block) {
        int peak = 0, c = 0;
        for (int i = b; i < b + block; ++i) {
            peak = std::max(peak, std::abs(int(s[i])));
            if (i > b && ((s[i - 1] < 0) != (s[i] < 0)))
                ++c;
        }
        if (peak < 1000)
            continue;
        crossings += c;
        counted += block - 1;
    }
    m.CrossingsPerSecond = counted ? crossings * double(rate) / counted : 0;
    return m;
}

QByteArray RecordFrom(const QString &source, int ms, int rate)
{
    QProcess p;
    p.start("parec", {"-d", source, "--raw", "--format=s16le", "--channels=1",
                      QString("--rate=%1").arg(rate), "--latency-msec=20"});
    if (!p.waitForStarted(5000))
        return {};
    QByteArray data;
    const qsizetype wanted = qsizetype(rate) * 2 * ms / 1000;
    QElapsedTimer clock;
    clock.start();
    while (data.size() < wanted && clock.elapsed() < ms + 5000) {
        p.waitForReadyRead(200);
        data += p.readAllStandardOutput();
    }
    p.terminate();
    p.waitForFinished(2000);
    return data.left(wanted);
}
