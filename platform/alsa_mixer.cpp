#include "platform/alsa_mixer.h"

#include <algorithm>
#include <poll.h>

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <alsa/asoundlib.h>

#include "platform/alsa_log.h"
#include "platform/log.h"

void TMixerCloser::operator()(snd_mixer_t *mixer) const
{
    snd_mixer_close(mixer);
}

namespace {

constexpr int FullScale = 65536;

QString ElementName(snd_mixer_elem_t *e)
{
    const QString name = QString::fromUtf8(snd_mixer_selem_get_name(e));
    const unsigned index = snd_mixer_selem_get_index(e);
    return index == 0 ? name : QString("%1 %2").arg(name).arg(index);
}

bool Named(snd_mixer_elem_t *e, const char *name)
{
    return snd_mixer_selem_get_index(e) == 0 && qstrcmp(snd_mixer_selem_get_name(e), name) == 0;
}

// A volume that is not tied to a direction ("Mic Boost", saa7134's "Video
// Volume") counts for capture only when the element also switches capture.
bool PlaybackVolume(snd_mixer_elem_t *e)
{
    return snd_mixer_selem_has_playback_volume(e) && !snd_mixer_selem_has_common_volume(e);
}

bool CaptureVolume(snd_mixer_elem_t *e)
{
    return snd_mixer_selem_has_capture_volume(e) &&
           (!snd_mixer_selem_has_common_volume(e) || snd_mixer_selem_has_capture_switch(e));
}

bool Mono(snd_mixer_elem_t *e, bool capture)
{
    if (capture)
        return snd_mixer_selem_is_capture_mono(e) == 1 ||
               snd_mixer_selem_has_capture_volume_joined(e);
    return snd_mixer_selem_is_playback_mono(e) == 1 ||
           snd_mixer_selem_has_playback_volume_joined(e);
}

int ToScale(long raw, long min, long max)
{
    if (max <= min)
        return 0;
    return int(((raw - min) * qint64(FullScale) + (max - min) / 2) / (max - min));
}

long FromScale(int value, long min, long max)
{
    value = std::clamp(value, 0, FullScale);
    return min + long((qint64(value) * (max - min) + FullScale / 2) / FullScale);
}

} // namespace

QStringList SystemMixerDevices()
{
    QuietAlsa();
    QStringList devices;
    snd_ctl_t *ctl = nullptr;
    if (snd_ctl_open(&ctl, "default", 0) == 0) {
        if (snd_ctl_type(ctl) != SND_CTL_TYPE_HW)
            devices << "default";
        snd_ctl_close(ctl);
    }
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0)
        devices << QString("hw:%1").arg(card);
    return devices;
}

TAlsaMixer::TAlsaMixer() : TAlsaMixer(SystemMixerDevices()) {}

TAlsaMixer::TAlsaMixer(const QStringList &devices)
    : Devices(devices), Context(std::make_unique<QObject>())
{
    QuietAlsa();
    if (!Devices.isEmpty())
        SetMixerId(0);
}

TAlsaMixer::~TAlsaMixer()
{
    OnChange = nullptr;
    Close();
}

bool TAlsaMixer::SetMixerId(int id)
{
    if (id < 0 || id >= DeviceCount())
        return false;
    Close();
    // Two attempts; a device without poll descriptors opens unwatched.
    for (int attempt = 0; attempt < 2; ++attempt)
        if (Open(id))
            return true;
    qCWarning(lcAlsa) << "cannot open the mixer of" << Devices[id];
    return false;
}

bool TAlsaMixer::Open(int id)
{
    const QByteArray name = Devices[id].toUtf8();
    snd_mixer_t *raw = nullptr;
    if (snd_mixer_open(&raw, 0) < 0)
        return false;
    TMixerHandle mixer(raw);
    int err = snd_mixer_attach(raw, name.constData());
    if (err >= 0)
        err = snd_mixer_selem_register(raw, nullptr, nullptr);
    if (err >= 0)
        err = snd_mixer_load(raw);
    if (err < 0) {
        qCDebug(lcAlsa) << name << "mixer:" << snd_strerror(err);
        return false;
    }
    Handle = std::move(mixer);
    OpenId = id;

    Product = Devices[id];
    snd_hctl_t *hctl = nullptr;
    snd_ctl_card_info_t *info;
    snd_ctl_card_info_alloca(&info);
    if (snd_mixer_get_hctl(raw, name.constData(), &hctl) == 0 &&
        snd_ctl_card_info(snd_hctl_ctl(hctl), info) == 0 && *snd_ctl_card_info_get_name(info))
        Product = QString::fromUtf8(snd_ctl_card_info_get_name(info));
    BuildDestinations();

    // Without descriptors the device still works, only unwatched.
    const int count = snd_mixer_poll_descriptors_count(raw);
    std::vector<pollfd> fds(std::max(count, 0));
    if (count > 0 && snd_mixer_poll_descriptors(raw, fds.data(), count) == count) {
        for (const pollfd &fd : fds) {
            const auto type = (fd.events & POLLOUT) && !(fd.events & POLLIN)
                                  ? QSocketNotifier::Write
                                  : QSocketNotifier::Read;
            auto *notifier = new QSocketNotifier(fd.fd, type, Context.get());
            QObject::connect(notifier, &QSocketNotifier::activated, Context.get(), [this] {
                if (Drain()) {
                    ChangePending = true;
                    Notify();
                }
            });
            Notifiers.push_back(notifier);
        }
    } else {
        qCDebug(lcAlsa) << name << "gives no poll descriptors: changes are not watched";
    }
    return true;
}

void TAlsaMixer::Close()
{
    // The notifiers may be the ones whose signal is running right now.
    for (QSocketNotifier *notifier : Notifiers) {
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    Notifiers.clear();
    Destinations.clear();
    Handle.reset();
    OpenId = -1;
    Product.clear();
}

void TAlsaMixer::BuildDestinations()
{
    Destinations.clear();
    std::vector<snd_mixer_elem_t *> elements;
    for (snd_mixer_elem_t *e = snd_mixer_first_elem(Handle.get()); e; e = snd_mixer_elem_next(e))
        if (snd_mixer_selem_is_active(e))
            elements.push_back(e);

    auto line = [](snd_mixer_elem_t *e, bool capture) {
        TLine l;
        l.Element = e;
        l.Capture = capture;
        if (e) {
            l.Info.Name = ElementName(e);
            l.Info.Channels = Mono(e, capture) ? 1 : 2;
        }
        return l;
    };

    // Speakers.
    snd_mixer_elem_t *master = nullptr;
    for (snd_mixer_elem_t *e : elements)
        if (Named(e, "Master") && (PlaybackVolume(e) || snd_mixer_selem_has_playback_switch(e)))
            master = e;
    if (!master)
        for (snd_mixer_elem_t *e : elements)
            if (PlaybackVolume(e)) {
                master = e;
                break;
            }
    if (master) {
        TDest speakers;
        speakers.Own = line(master, false);
        speakers.Own.Info.ComponentType = MixerDstSpeakers;
        for (snd_mixer_elem_t *e : elements)
            if (e != master && PlaybackVolume(e))
                speakers.Sources.push_back(line(e, false));
        Destinations.push_back(std::move(speakers));
    }

    // Recording.
    TDest recording;
    snd_mixer_elem_t *capture = nullptr;
    for (snd_mixer_elem_t *e : elements)
        if (Named(e, "Capture") && (CaptureVolume(e) || snd_mixer_selem_has_capture_switch(e)))
            capture = e;
    auto byName = [&elements](const QString &name) -> snd_mixer_elem_t * {
        for (snd_mixer_elem_t *e : elements)
            if (ElementName(e) == name && CaptureVolume(e))
                return e;
        return nullptr;
    };
    for (snd_mixer_elem_t *e : elements) {
        if (!snd_mixer_selem_is_enum_capture(e))
            continue;
        recording.Select = TSelect::Multiplexer;
        recording.Enumeration = e;
        const int items = snd_mixer_selem_get_enum_items(e);
        for (int i = 0; i < items; ++i) {
            char text[64] = {};
            snd_mixer_selem_get_enum_item_name(e, i, sizeof text - 1, text);
            TLine item = line(nullptr, true);
            item.Info.Name = QString::fromUtf8(text);
            item.Element = byName(item.Info.Name);
            if (item.Element)
                item.Info.Channels = Mono(item.Element, true) ? 1 : 2;
            item.Item = i;
            recording.Sources.push_back(item);
        }
        break;
    }
    if (recording.Select == TSelect::None) {
        int group = -1;
        for (snd_mixer_elem_t *e : elements) {
            if (!snd_mixer_selem_has_capture_switch_exclusive(e))
                continue;
            if (group < 0)
                group = snd_mixer_selem_get_capture_group(e);
            if (snd_mixer_selem_get_capture_group(e) == group)
                recording.Sources.push_back(line(e, true));
        }
        if (!recording.Sources.empty())
            recording.Select = TSelect::Multiplexer;
    }
    if (recording.Select == TSelect::None) {
        for (snd_mixer_elem_t *e : elements)
            if (snd_mixer_selem_has_capture_switch(e) &&
                qstrcmp(snd_mixer_selem_get_name(e), "Capture") != 0)
                recording.Sources.push_back(line(e, true));
        if (!recording.Sources.empty())
            recording.Select = TSelect::Mixer;
    }
    if (!capture && recording.Sources.empty())
        for (snd_mixer_elem_t *e : elements)
            if (CaptureVolume(e) && !snd_mixer_selem_has_common_volume(e)) {
                capture = e;
                break;
            }
    if (capture || !recording.Sources.empty()) {
        recording.Own = line(capture, true);
        if (!capture)
            recording.Own.Info.Name = "Capture";
        recording.Own.Info.ComponentType = MixerDstWaveIn;
        Destinations.push_back(std::move(recording));
    }
}

TMixerLineInfo TAlsaMixer::Destination(int destination) const
{
    if (destination < 0 || destination >= DestinationCount())
        return {};
    TMixerLineInfo info = Destinations[destination].Own.Info;
    info.Connections = int(Destinations[destination].Sources.size());
    return info;
}

TMixerLineInfo TAlsaMixer::Connection(int destination, int connection) const
{
    const TLine *line = connection >= 0 ? LineAt(destination, connection) : nullptr;
    return line ? line->Info : TMixerLineInfo{};
}

const TAlsaMixer::TLine *TAlsaMixer::LineAt(int destination, int connection) const
{
    if (!Handle || destination < 0 || destination >= DestinationCount())
        return nullptr;
    const TDest &dest = Destinations[destination];
    if (connection < 0)
        return &dest.Own;
    return connection < int(dest.Sources.size()) ? &dest.Sources[connection] : nullptr;
}

bool TAlsaMixer::ReadVolume(const TLine &line, int &left, int &right) const
{
    snd_mixer_elem_t *e = line.Element;
    if (!e || !(line.Capture ? snd_mixer_selem_has_capture_volume(e)
                             : snd_mixer_selem_has_playback_volume(e)))
        return true; // no volume control: the values stay -1
    long min = 0, max = 0, l = 0, r = 0;
    const bool mono = Mono(e, line.Capture);
    int err;
    if (line.Capture) {
        err = snd_mixer_selem_get_capture_volume_range(e, &min, &max);
        if (err >= 0)
            err = snd_mixer_selem_get_capture_volume(e, SND_MIXER_SCHN_FRONT_LEFT, &l);
        if (err >= 0 && !mono)
            err = snd_mixer_selem_get_capture_volume(e, SND_MIXER_SCHN_FRONT_RIGHT, &r);
    } else {
        err = snd_mixer_selem_get_playback_volume_range(e, &min, &max);
        if (err >= 0)
            err = snd_mixer_selem_get_playback_volume(e, SND_MIXER_SCHN_FRONT_LEFT, &l);
        if (err >= 0 && !mono)
            err = snd_mixer_selem_get_playback_volume(e, SND_MIXER_SCHN_FRONT_RIGHT, &r);
    }
    if (err < 0)
        return false;
    left = ToScale(l, min, max);
    right = mono ? left : ToScale(r, min, max);
    return true;
}

bool TAlsaMixer::WriteVolume(const TLine &line, int left, int right)
{
    snd_mixer_elem_t *e = line.Element;
    if (!e || !(line.Capture ? snd_mixer_selem_has_capture_volume(e)
                             : snd_mixer_selem_has_playback_volume(e)))
        return false;
    long min = 0, max = 0;
    // A mono line takes the left value; writing the right one would land on
    // the same channel.
    const bool mono = Mono(e, line.Capture);
    int err;
    if (line.Capture) {
        err = snd_mixer_selem_get_capture_volume_range(e, &min, &max);
        if (err >= 0)
            err = snd_mixer_selem_set_capture_volume(e, SND_MIXER_SCHN_FRONT_LEFT,
                                                     FromScale(left, min, max));
        if (err >= 0 && !mono)
            err = snd_mixer_selem_set_capture_volume(e, SND_MIXER_SCHN_FRONT_RIGHT,
                                                     FromScale(right, min, max));
    } else {
        err = snd_mixer_selem_get_playback_volume_range(e, &min, &max);
        if (err >= 0)
            err = snd_mixer_selem_set_playback_volume(e, SND_MIXER_SCHN_FRONT_LEFT,
                                                      FromScale(left, min, max));
        if (err >= 0 && !mono)
            err = snd_mixer_selem_set_playback_volume(e, SND_MIXER_SCHN_FRONT_RIGHT,
                                                      FromScale(right, min, max));
    }
    // libasound passes on a plugin's "changed" (1) as the result of a write.
    if (err < 0)
        qCWarning(lcAlsa) << DeviceName() << line.Info.Name << "volume:" << snd_strerror(err);
    return err >= 0;
}

int TAlsaMixer::ReadMute(const TDest &dest, const TLine &line) const
{
    const bool source = &line != &dest.Own;
    snd_mixer_elem_t *e = line.Element;
    int on = 0;
    if (source && dest.Select == TSelect::Multiplexer && dest.Enumeration) {
        unsigned int item = 0;
        if (snd_mixer_selem_get_enum_item(dest.Enumeration, SND_MIXER_SCHN_FRONT_LEFT, &item) < 0)
            return -1;
        return int(item) == line.Item ? 0 : 1;
    }
    if (!e)
        return -1;
    if (line.Capture) {
        if (!snd_mixer_selem_has_capture_switch(e) ||
            snd_mixer_selem_get_capture_switch(e, SND_MIXER_SCHN_FRONT_LEFT, &on) < 0)
            return -1;
    } else {
        if (!snd_mixer_selem_has_playback_switch(e) ||
            snd_mixer_selem_get_playback_switch(e, SND_MIXER_SCHN_FRONT_LEFT, &on) < 0)
            return -1;
    }
    return on ? 0 : 1;
}

bool TAlsaMixer::WriteMute(const TDest &dest, const TLine &line, bool mute)
{
    const bool source = &line != &dest.Own;
    snd_mixer_elem_t *e = line.Element;
    int err = 0;
    if (source && dest.Select == TSelect::Multiplexer) {
        // A multiplexer always records from exactly one source: selecting
        // one deselects the others (the enumeration holds one item; ALSA
        // turns exclusive switches off itself), and the selected source
        // cannot be deselected on its own.
        const int current = ReadMute(dest, line);
        if (mute)
            return current == 1;
        if (current == 0)
            return true;
        if (dest.Enumeration) {
            unsigned int item = 0;
            for (int ch = 0; snd_mixer_selem_get_enum_item(
                                 dest.Enumeration, snd_mixer_selem_channel_id_t(ch), &item) == 0;
                 ++ch) {
                err = snd_mixer_selem_set_enum_item(
                    dest.Enumeration, snd_mixer_selem_channel_id_t(ch), unsigned(line.Item));
                if (err < 0)
                    break;
            }
        } else {
            err = snd_mixer_selem_set_capture_switch_all(e, 1);
        }
    } else if (e && line.Capture && snd_mixer_selem_has_capture_switch(e)) {
        err = snd_mixer_selem_set_capture_switch_all(e, mute ? 0 : 1);
    } else if (e && !line.Capture && snd_mixer_selem_has_playback_switch(e)) {
        err = snd_mixer_selem_set_playback_switch_all(e, mute ? 0 : 1);
    } else {
        return false;
    }
    if (err < 0)
        qCWarning(lcAlsa) << DeviceName() << line.Info.Name << "mute:" << snd_strerror(err);
    return err >= 0;
}

bool TAlsaMixer::GetVolume(int destination, int connection, int &left, int &right, int &mute)
{
    if (Drain())
        NotifyLater();
    const TLine *line = LineAt(destination, connection);
    if (!line)
        return false;
    int l = -1, r = -1;
    if (!ReadVolume(*line, l, r))
        return false;
    left = l;
    right = r;
    mute = ReadMute(Destinations[destination], *line);
    return true;
}

bool TAlsaMixer::SetVolume(int destination, int connection, int left, int right, int mute)
{
    if (Drain())
        NotifyLater();
    const TLine *line = LineAt(destination, connection);
    if (!line)
        return false;
    bool ok = WriteVolume(*line, left, right);
    if (mute >= 0)
        ok = WriteMute(Destinations[destination], *line, mute != 0) && ok;
    if (ok)
        NotifyLater();
    return ok;
}

bool TAlsaMixer::SetMuteLine(int destination, int connection, bool mute)
{
    if (Drain())
        NotifyLater();
    const TLine *line = LineAt(destination, connection);
    if (!line || !WriteMute(Destinations[destination], *line, mute))
        return false;
    NotifyLater();
    return true;
}

bool TAlsaMixer::Drain()
{
    if (!Handle || Notifiers.empty())
        return false;
    snd_mixer_t *m = Handle.get();
    const int count = snd_mixer_poll_descriptors_count(m);
    if (count <= 0)
        return false;
    std::vector<pollfd> fds(count);
    if (snd_mixer_poll_descriptors(m, fds.data(), count) != count ||
        poll(fds.data(), nfds_t(count), 0) <= 0)
        return false;
    unsigned short revents = 0;
    if (snd_mixer_poll_descriptors_revents(m, fds.data(), unsigned(count), &revents) < 0)
        return false;
    int handled = 0;
    if (revents & POLLIN)
        handled = snd_mixer_handle_events(m);
    if (handled < 0 || (revents & (POLLERR | POLLHUP | POLLNVAL))) {
        // The sound server went away or the card was removed: a readable
        // error descriptor would wake the loop forever.
        qCWarning(lcAlsa) << DeviceName() << "stopped answering; changes are no longer watched";
        for (QSocketNotifier *notifier : Notifiers) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
        Notifiers.clear();
        return false;
    }
    return handled > 0;
}

void TAlsaMixer::NotifyLater()
{
    // Our own writes are announced like anybody else's (libasound reports
    // only changes it did not make itself), and so are events read while
    // answering a question; both after the caller's handler has returned.
    if (ChangePending)
        return;
    ChangePending = true;
    QTimer::singleShot(0, Context.get(), [this] { Notify(); });
}

void TAlsaMixer::Notify()
{
    if (!ChangePending)
        return;
    ChangePending = false;
    if (OnChange)
        OnChange();
}
