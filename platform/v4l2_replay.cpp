#include "platform/v4l2_replay.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

void CopyText(__u8 *to, size_t size, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    memset(to, 0, size);
    memcpy(to, bytes.constData(), std::min<size_t>(bytes.size(), size - 1));
}

const std::vector<TRecordedControl> Saa7134Controls = {
    {V4L2_CID_BRIGHTNESS, 0, 255, 1, 128}, {V4L2_CID_CONTRAST, 0, 127, 1, 68},
    {V4L2_CID_SATURATION, 0, 127, 1, 64},  {V4L2_CID_HUE, -128, 127, 1, 0},
    {V4L2_CID_AUDIO_MUTE, 0, 1, 1, 0},     {V4L2_CID_AUDIO_VOLUME, -15, 15, 1, 0}};

const std::vector<TRecordedControl> Cx88Controls = {
    {V4L2_CID_BRIGHTNESS, 0, 255, 1, 127}, {V4L2_CID_CONTRAST, 0, 255, 1, 63},
    {V4L2_CID_HUE, 0, 255, 1, 128},        {V4L2_CID_SATURATION, 0, 255, 1, 127},
    {V4L2_CID_SHARPNESS, 0, 4, 1, 0},      {V4L2_CID_AUDIO_VOLUME, 0, 63, 1, 63}};

const std::vector<std::pair<v4l2_std_id, QString>> CommonStandards = {
    {V4L2_STD_NTSC_M, "NTSC-M"},     {V4L2_STD_NTSC_M_JP, "NTSC-JP"},
    {V4L2_STD_PAL_BG, "PAL-BG"},     {V4L2_STD_PAL_DK, "PAL-DK"},
    {V4L2_STD_PAL_I, "PAL-I"},       {V4L2_STD_PAL_M, "PAL-M"},
    {V4L2_STD_PAL_Nc, "PAL-Nc"},     {V4L2_STD_SECAM_B | V4L2_STD_SECAM_G, "SECAM-BG"},
    {V4L2_STD_SECAM_DK, "SECAM-DK"}, {V4L2_STD_SECAM_L, "SECAM-L"}};

} // namespace

TRecordedCard RecordedSaa7134Card(const QString &path)
{
    TRecordedCard c;
    c.Path = path;
    c.RadioPath = "/dev/radio0";
    c.Driver = "saa7134";
    c.Card = "Compro VideoMate T750";
    c.BusInfo = "PCI:0000:05:01.0";
    c.Capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_TUNER | V4L2_CAP_AUDIO | V4L2_CAP_READWRITE |
                     V4L2_CAP_STREAMING;
    c.Inputs = {{"Television", V4L2_INPUT_TYPE_TUNER}, {"Composite1"}, {"S-Video"}};
    c.HasTuner = true;
    c.TunerLow = 44 * 16;
    c.TunerHigh = 958 * 16;
    c.RadioLow = 65 * 16000;
    c.RadioHigh = 108 * 16000;
    c.RxSubchans = V4L2_TUNER_SUB_MONO | V4L2_TUNER_SUB_STEREO;
    c.Standards = CommonStandards;
    c.Controls = Saa7134Controls;
    c.PixelFormats = {V4L2_PIX_FMT_YUYV, V4L2_PIX_FMT_UYVY, V4L2_PIX_FMT_RGB555,
                      V4L2_PIX_FMT_BGR32};
    return c;
}

TRecordedCard RecordedCx88Card(const QString &path)
{
    TRecordedCard c;
    c.Path = path;
    c.Driver = "cx8800";
    c.Card = "Hauppauge WinTV 34xxx models";
    c.BusInfo = "PCI:0000:06:02.0";
    c.Capabilities =
        V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_TUNER | V4L2_CAP_READWRITE | V4L2_CAP_STREAMING;
    c.Inputs = {{"Television", V4L2_INPUT_TYPE_TUNER}, {"Composite1"}, {"S-Video"}};
    c.HasTuner = true;
    c.TunerLow = 0;
    c.TunerHigh = 0xffffffffu;
    c.RxSubchans =
        V4L2_TUNER_SUB_MONO | V4L2_TUNER_SUB_STEREO | V4L2_TUNER_SUB_LANG1 | V4L2_TUNER_SUB_LANG2;
    c.Standards = CommonStandards;
    c.Controls = Cx88Controls;
    c.InputStatus = false; // cx88 reports the lock only as the tuner's signal
    c.PixelFormats = {V4L2_PIX_FMT_GREY, V4L2_PIX_FMT_YUYV, V4L2_PIX_FMT_UYVY, V4L2_PIX_FMT_RGB555,
                      V4L2_PIX_FMT_BGR32};
    return c;
}

TV4l2Replay::TV4l2Replay(std::vector<TRecordedCard> cards) : Cards(std::move(cards))
{
    for (const TRecordedCard &c : Cards) {
        TState &s = State[c.Path];
        s.Std = V4L2_STD_PAL_BG;
        for (const TRecordedControl &ctrl : c.Controls)
            s.Controls[ctrl.Id] = ctrl.Default;
    }
}

QStringList TV4l2Replay::Nodes()
{
    QStringList nodes;
    for (const TRecordedCard &c : Cards) {
        nodes << c.Path;
        if (!c.RadioPath.isEmpty())
            nodes << c.RadioPath;
    }
    std::sort(nodes.begin(), nodes.end());
    return nodes;
}

int TV4l2Replay::Open(const QString &path)
{
    for (const QString &node : Nodes())
        if (node == path) {
            ++OpenCount;
            Open_[NextFd] = path;
            return NextFd++;
        }
    return -ENOENT;
}

void TV4l2Replay::Close(int fd)
{
    Open_.erase(fd);
}

QString TV4l2Replay::DeviceAttribute(const QString &path, const QString &attribute)
{
    for (const TRecordedCard &c : Cards)
        if (c.Path == path)
            return attribute == "idVendor"    ? c.UsbVendor
                   : attribute == "idProduct" ? c.UsbProduct
                                              : QString();
    return {};
}

const TRecordedCard *TV4l2Replay::CardOf(int fd, bool *radio) const
{
    auto it = Open_.find(fd);
    if (it == Open_.end())
        return nullptr;
    for (const TRecordedCard &c : Cards) {
        if (c.Path == it->second || c.RadioPath == it->second) {
            *radio = c.RadioPath == it->second;
            return &c;
        }
    }
    return nullptr;
}

int TV4l2Replay::Ioctl(int fd, unsigned long request, void *arg)
{
    bool radio = false;
    const TRecordedCard *card = CardOf(fd, &radio);
    if (!card)
        return EBADF;
    TState &s = State[card->Path];
    Calls << QString("%1 %2").arg(request, 0, 16).arg(radio ? card->RadioPath : card->Path);
    switch (request) {
    case VIDIOC_QUERYCAP: {
        auto *cap = static_cast<v4l2_capability *>(arg);
        memset(cap, 0, sizeof *cap);
        CopyText(cap->driver, sizeof cap->driver, card->Driver);
        CopyText(cap->card, sizeof cap->card, card->Card);
        CopyText(cap->bus_info, sizeof cap->bus_info, card->BusInfo);
        cap->device_caps = radio ? (V4L2_CAP_RADIO | V4L2_CAP_TUNER) : card->Capabilities;
        cap->capabilities = cap->device_caps | V4L2_CAP_DEVICE_CAPS |
                            (card->RadioPath.isEmpty() ? 0 : V4L2_CAP_RADIO);
        return 0;
    }
    case VIDIOC_ENUMINPUT: {
        auto *in = static_cast<v4l2_input *>(arg);
        if (radio || in->index >= card->Inputs.size())
            return radio ? ENOTTY : EINVAL;
        const TRecordedInput &r = card->Inputs[in->index];
        const __u32 index = in->index;
        memset(in, 0, sizeof *in);
        in->index = index;
        CopyText(in->name, sizeof in->name, r.Name);
        in->type = r.Type;
        in->std = V4L2_STD_ALL;
        const bool locked =
            r.Type != V4L2_INPUT_TYPE_TUNER ||
            (s.CarrierHz && std::llabs(int64_t(s.Frequency) * 62500 - s.CarrierHz) <= 1500000);
        if (card->InputStatus && int(index) == s.Input && !locked)
            in->status = V4L2_IN_ST_NO_H_LOCK | V4L2_IN_ST_NO_SIGNAL;
        return 0;
    }
    case VIDIOC_G_INPUT:
        if (radio)
            return ENOTTY;
        *static_cast<int *>(arg) = s.Input;
        return 0;
    case VIDIOC_S_INPUT: {
        const int index = *static_cast<int *>(arg);
        if (radio)
            return ENOTTY;
        if (index < 0 || index >= int(card->Inputs.size()))
            return EINVAL;
        s.Input = index;
        return 0;
    }
    case VIDIOC_G_TUNER: {
        auto *t = static_cast<v4l2_tuner *>(arg);
        if ((!radio && !card->HasTuner) || t->index != 0)
            return EINVAL;
        memset(t, 0, sizeof *t);
        CopyText(t->name, sizeof t->name, radio ? "Radio" : "Television");
        t->type = radio ? V4L2_TUNER_RADIO : V4L2_TUNER_ANALOG_TV;
        t->capability = radio ? (V4L2_TUNER_CAP_LOW | V4L2_TUNER_CAP_STEREO)
                              : (V4L2_TUNER_CAP_NORM | V4L2_TUNER_CAP_STEREO |
                                 V4L2_TUNER_CAP_LANG1 | V4L2_TUNER_CAP_LANG2);
        t->rangelow = radio ? card->RadioLow : card->TunerLow;
        t->rangehigh = radio ? card->RadioHigh : card->TunerHigh;
        t->rxsubchans = card->RxSubchans;
        t->audmode = s.AudMode;
        if (radio && s.RadioCarrierHz &&
            std::llabs(int64_t(s.RadioFrequency) * 125 / 2 - s.RadioCarrierHz) <= 100000)
            t->signal = 0xffff;
        if (!radio && s.CarrierHz) {
            const int64_t d = int64_t(s.Frequency) * 62500 - s.CarrierHz;
            if (std::llabs(d) <= 1500000) {
                t->signal = 0xffff;
                t->afc = d > 125000 ? 1 : d < -125000 ? -1 : 0;
            }
        }
        return 0;
    }
    case VIDIOC_S_TUNER: {
        auto *t = static_cast<v4l2_tuner *>(arg);
        if (!card->HasTuner || t->index != 0)
            return EINVAL;
        if (t->audmode > V4L2_TUNER_MODE_LANG1_LANG2)
            return EINVAL;
        s.AudMode = t->audmode;
        return 0;
    }
    case VIDIOC_G_FREQUENCY: {
        auto *f = static_cast<v4l2_frequency *>(arg);
        f->frequency = radio ? s.RadioFrequency : s.Frequency;
        return 0;
    }
    case VIDIOC_S_FREQUENCY: {
        auto *f = static_cast<v4l2_frequency *>(arg);
        if (f->tuner != 0 || (!radio && !card->HasTuner))
            return EINVAL;
        (radio ? s.RadioFrequency : s.Frequency) = f->frequency;
        return 0;
    }
    case VIDIOC_G_STD:
        if (radio)
            return ENOTTY;
        *static_cast<v4l2_std_id *>(arg) = s.Std;
        return 0;
    case VIDIOC_S_STD: {
        const v4l2_std_id id = *static_cast<v4l2_std_id *>(arg);
        if (radio)
            return ENOTTY;
        if (!(id & V4L2_STD_ALL))
            return EINVAL;
        s.Std = id;
        return 0;
    }
    case VIDIOC_ENUMSTD: {
        auto *st = static_cast<v4l2_standard *>(arg);
        if (radio)
            return ENOTTY;
        if (st->index >= card->Standards.size())
            return EINVAL;
        st->id = card->Standards[st->index].first;
        CopyText(st->name, sizeof st->name, card->Standards[st->index].second);
        return 0;
    }
    case VIDIOC_QUERYCTRL: {
        auto *q = static_cast<v4l2_queryctrl *>(arg);
        for (const TRecordedControl &c : card->Controls)
            if (c.Id == q->id) {
                q->minimum = c.Minimum;
                q->maximum = c.Maximum;
                q->step = c.Step;
                q->default_value = c.Default;
                q->type = V4L2_CTRL_TYPE_INTEGER;
                q->flags = 0;
                return 0;
            }
        return EINVAL;
    }
    case VIDIOC_G_CTRL: {
        auto *c = static_cast<v4l2_control *>(arg);
        auto it = s.Controls.find(c->id);
        if (it == s.Controls.end())
            return EINVAL;
        c->value = it->second;
        return 0;
    }
    case VIDIOC_S_CTRL: {
        auto *c = static_cast<v4l2_control *>(arg);
        for (const TRecordedControl &r : card->Controls)
            if (r.Id == c->id) {
                if (c->value < r.Minimum || c->value > r.Maximum)
                    return ERANGE;
                s.Controls[c->id] = c->value;
                return 0;
            }
        return EINVAL;
    }
    case VIDIOC_G_FMT: {
        auto *f = static_cast<v4l2_format *>(arg);
        if (radio || f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return radio ? ENOTTY : EINVAL;
        f->fmt.pix.pixelformat = card->PixelFormats.empty() ? 0 : card->PixelFormats.front();
        f->fmt.pix.width = 720;
        f->fmt.pix.height = (s.Std & V4L2_STD_525_60) ? 480 : 576;
        return 0;
    }
    case VIDIOC_TRY_FMT: {
        // The saa7134 and cx88 limits: 48x32 to 720 wide and the standard's
        // lines, widths in steps of 4.
        auto *f = static_cast<v4l2_format *>(arg);
        if (radio || f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return radio ? ENOTTY : EINVAL;
        auto &pix = f->fmt.pix;
        if (std::find(card->PixelFormats.begin(), card->PixelFormats.end(), pix.pixelformat) ==
            card->PixelFormats.end())
            return EINVAL;
        const __u32 lines = (s.Std & V4L2_STD_525_60) ? 480 : 576;
        pix.width = std::clamp<__u32>(pix.width, 48, 720) & ~3u;
        pix.height = std::clamp<__u32>(pix.height, 32, lines);
        pix.field = pix.height > lines / 2 ? V4L2_FIELD_INTERLACED : V4L2_FIELD_BOTTOM;
        return 0;
    }
    case VIDIOC_ENUM_FMT: {
        auto *d = static_cast<v4l2_fmtdesc *>(arg);
        if (radio)
            return ENOTTY;
        if (d->index >= card->PixelFormats.size())
            return EINVAL;
        d->pixelformat = card->PixelFormats[d->index];
        return 0;
    }
    default:
        return ENOTTY;
    }
}

int TV4l2Replay::OpenDescriptors(const QString &path) const
{
    int n = 0;
    for (const auto &[fd, node] : Open_)
        n += node == path;
    return n;
}
