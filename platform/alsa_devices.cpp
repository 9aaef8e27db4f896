#include "platform/alsa_devices.h"

#include <alsa/asoundlib.h>

#include "platform/alsa_log.h"
#include "platform/filter_registry.h"

std::vector<TDeviceEntry> AlsaCaptureDevices()
{
    QuietAlsa();
    std::vector<TDeviceEntry> list;
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0) {
        snd_ctl_t *ctl = nullptr;
        const QByteArray hw = "hw:" + QByteArray::number(card);
        if (snd_ctl_open(&ctl, hw.constData(), 0) < 0)
            continue;
        snd_ctl_card_info_t *cardInfo;
        snd_ctl_card_info_alloca(&cardInfo);
        QString cardName = hw;
        if (snd_ctl_card_info(ctl, cardInfo) == 0)
            cardName = QString::fromUtf8(snd_ctl_card_info_get_name(cardInfo));
        int device = -1;
        while (snd_ctl_pcm_next_device(ctl, &device) == 0 && device >= 0) {
            snd_pcm_info_t *pcm;
            snd_pcm_info_alloca(&pcm);
            snd_pcm_info_set_device(pcm, device);
            snd_pcm_info_set_subdevice(pcm, 0);
            snd_pcm_info_set_stream(pcm, SND_PCM_STREAM_CAPTURE);
            if (snd_ctl_pcm_info(ctl, pcm) < 0)
                continue;
            const QString name = cardName + " " + QString::fromUtf8(snd_pcm_info_get_name(pcm));
            list.push_back({name, QString("alsa:hw:%1,%2").arg(card).arg(device)});
        }
        snd_ctl_close(ctl);
    }
    return list;
}

TFilterPtr CreateAlsaCaptureFilter(const QString &pcm)
{
    QuietAlsa();
    if (pcm.isEmpty() || pcm.contains(' ') || pcm.contains('!'))
        return nullptr;
    return CreateChainFilter(
        "Audio Capture " + pcm,
        "alsasrc name=src device=" + pcm +
            " ! audioconvert ! audioresample ! audio/x-raw,rate=48000,channels=2 ! queue name=q",
        {}, {{"Capture", "q", "src", TMediaKind::Audio, TPinCategory::Capture}});
}
