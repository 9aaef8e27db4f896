// The file playback as the commands and the play lists use it: the one
// engine (null when nothing plays) and the routines that start, pause,
// resume, stop and step it. Time-shift files (".mpv") go to the time-shift
// player installed in ModeEngines.TimeShiftPlayback.
//
// GUI thread only.
#pragma once

#include <QString>
#include <functional>

class TPlaybackProject;

extern TPlaybackProject *PlaybackProject;

// Observers wired onto every engine PlayFile makes (the shell installs them).
struct TPlaybackObservers
{
    std::function<void(int percent, int position, int duration)> OnPosition;
    std::function<void()> OnPlaybackEnd;
    // PIPPlayback: the picture as an inset over live video.
    std::function<bool()> PictureInPicture;
};
extern TPlaybackObservers PlaybackObservers;

// Frees any playback, then plays the file. True when it plays; a file that
// cannot play is reported to the user and leaves no engine behind.
bool PlayFile(const QString &fileName);
bool PausePlayback();
bool ResumePlayback();
// Stops and frees the engine; true.
bool StopPlayback();
// The snapshot routine: the frame into the snapshot store; message 1008 when
// none could be taken.
bool SnapshotPlayback();
bool ForwardPlayback();
bool BackwardPlayback();
bool FasterPlayback();
bool SlowerPlayback();
