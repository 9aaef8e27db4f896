#include "app/menu_captions.h"

#include <QHash>

#include "app/shell_views.h"
#include "platform/messages.h"

namespace {

QHash<QString, QString> &Current()
{
    static QHash<QString, QString> captions;
    return captions;
}

} // namespace

const QList<TMenuCaptionKey> &MenuCaptionKeys()
{
    static const QList<TMenuCaptionKey> keys = {
        {"Always on top", "AlwaysOnTop"},
        {"Display Aspect Ration", "AspectRatio"},
        {"Free", "Free"},
        {"Full Screen", "FullScreen"},
        {"Video Desktop", "WallPaper"},
        {"Switch Video Source", "SwitchSource"},
        {"TV Tuner (Antenna)", "Antenna"},
        {"TV Tuner (Cable)", "Cable"},
        {"TV Tuner (Memory)", "Memory"},
        {"Composite", "Composite"},
        {"S-Video", "SVideo"},
        {"Digital Zoom", "DigitalZoom"},
        {"Previous Channel", "PreChannel"},
        {"Next Channel", "NextChannel"},
        {"Recall Channel", "RecallChannel"},
        {"Memo Channel", "FMMemorized"},
        {"Channel Preview", "ChannelPreview"},
        {"About", "About"},
        {"Capture", "Capture"},
        {"Play", "Play"},
        {"Time Shifting", "TimeShifting"},
        {"Pause", "Pause"},
        {"Stop", "Stop"},
        {"Backward", "Backward"},
        {"Forward", "Forward"},
        {"Real Screen", "RealScreen"},
        {"Slow Speed", "SlowSpeed"},
        {"Fast Speed", "FastSpeed"},
        {"Snapshot", "Snapshot"},
        {"Mute", "Mute"},
        {"Setup", "Setup"},
        {"FM mode", "FMMode"},
        {"Reset TV option", "ResetTV"},
        {"Sleeping Timer", "SleepTimer"},
        {"Schedule", "ScheduledRecording"},
        {"Exit", "Exit"},
    };
    return keys;
}

QString MenuCaption(const QString &key)
{
    const auto it = Current().constFind(key);
    if (it != Current().constEnd())
        return *it;
    for (const TMenuCaptionKey &k : MenuCaptionKeys())
        if (key == QLatin1String(k.Key))
            return k.Caption;
    return key;
}

void ApplyMenuLanguage()
{
    QHash<QString, QString> captions;
    for (const TMenuCaptionKey &k : MenuCaptionKeys()) {
        const QString text = TranslateKey(k.Key);
        captions.insert(k.Key, text.isEmpty() ? QString(k.Caption) : text);
    }
    Current() = captions;
    ShellViews.MenuCaptionsChanged();
}
