#include "app/command_names.h"

const QList<TCommandName> &CommandNames()
{
    static const QList<TCommandName> names = [] {
        QList<TCommandName> list = {
            {1, "exit", "quit the program"},
            {2, "minimize", "minimise the program"},
            {3, "fullscreen", "toggle full screen"},
            {5, "minimize-restore", "restore when minimised, else minimise"},
            {7, "setup", "settings dialog"},
            {8, "channel-preview", "channel preview mosaic, or take its selected cell"},
            {9, "wizard", "TV set-up wizard"},
            {10, "schedule", "scheduling agent"},
            {11, "help", "open the manual"},
            {12, "sleep-timer", "sleep timer dialog"},
            {13, "about", "about box"},
            {14, "epg", "programme guide web page"},
            {200, "source", "next video source"},
            {201, "antenna", "tuner, antenna band"},
            {202, "cable", "tuner, cable band"},
            {203, "memory", "tuner, memory channels"},
            {204, "composite", "composite input"},
            {205, "svideo", "S-Video input"},
            {206, "band", "toggle antenna and cable"},
            {300, "audio-mode", "next TV audio mode"},
            {401, "volume-up", "volume up"},
            {402, "volume-down", "volume down"},
            {403, "mute", "mute on/off"},
            {1000, "snapshot", "take a snapshot"},
            {1001, "capture", "start recording"},
            {1002, "stop", "stop recording, playback or time shifting"},
            {1003, "pause", "pause playback"},
            {1004, "forward", "playback forward"},
            {1005, "backward", "playback backward"},
            {1006, "fast", "faster playback"},
            {1007, "slow", "slower playback"},
            {2000, "timeshift", "start time shifting"},
            {2001, "real-screen", "toggle the live picture in time shifting"},
            {3000, "play", "play, or resume playback"},
            {3001, "play-last", "play the last recording"},
            {4001, "next-channel", "next channel"},
            {4002, "previous-channel", "previous channel"},
            {4003, "recall-channel", "the channel before the last change"},
            {4004, "scan", "scan the band, or stop a running scan"},
            {4005, "memorize", "add a memory channel"},
            {5000, "preview-choose", "choose the mosaic cell"},
            {5002, "left", "mosaic left, or FM frequency down"},
            {5003, "right", "mosaic right, or FM frequency up"},
            {6000, "fm", "toggle FM radio"},
            {6001, "fm-seek-up", "seek the next FM station up"},
            {6002, "fm-seek-down", "seek the next FM station down"},
            {6003, "fm-up", "FM frequency up"},
            {6004, "fm-down", "FM frequency down"},
            {6005, "fm-memorize", "store the FM frequency"},
        };
        static const char *const digits[] = {"digit-0", "digit-1", "digit-2", "digit-3", "digit-4",
                                             "digit-5", "digit-6", "digit-7", "digit-8", "digit-9"};
        for (int d = 0; d < 10; ++d)
            list.append({10000 + d, digits[d], "type a digit of a channel number"});
        list.append({10010, "channel-10", "tune channel 10"});
        list.append({10011, "channel-11", "tune channel 11"});
        list.append({10012, "channel-12", "tune channel 12"});
        list.append({10020, "enter", "end the typed channel number"});
        list.append({10021, "escape", "escape to the channel entry"});
        list.append({10100, "point", "start a channel number above 100"});
        return list;
    }();
    return names;
}

int CommandFromText(const QString &text)
{
    bool isNumber = false;
    const int number = text.toInt(&isNumber);
    for (const TCommandName &c : CommandNames())
        if (isNumber ? c.Command == number
                     : text.compare(QLatin1String(c.Name), Qt::CaseInsensitive) == 0)
            return c.Command;
    return -1;
}
