// Starting and stopping the preview, the video window and its placement.
#include <QMenu>

#include "app/main_info.h"
#include "capture/preview_util.h"
#include "platform/video_window.h"

bool TCaptureInfo::RunGraph()
{
    return FilterGraph && FilterGraph->Run();
}

bool TCaptureInfo::StopGraph()
{
    return FilterGraph && FilterGraph->Stop();
}

bool TCaptureInfo::StartPreview(bool build)
{
    const bool wis = MainInfo && MainInfo->IsWisFamily;
    if (build) {
        if (!(wis ? BuildWisPreview() : BuildPreview()))
            return false;
        if (AudioPath == 1)
            RouteCrossbarAudio();
        return RunGraph();
    }
    if (!(wis ? RerenderWisPreview() : RerenderPreview()))
        return false;
    const bool running = RunGraph();
    if (!FMMode && VideoWindow && VideoWindow->OverlayInUse())
        VideoWindow->SetAspectRatio(TDSVideoWindowEx2::AspectStretched);
    return running;
}

bool TCaptureInfo::ReselectDevices()
{
    StopGraph();
    FreeGraphObjects();
    CreateGraphObjects();
    VideoFormatIndex = 0;
    if (SelectDevices())
        return StartPreview(true);
    PreviewWarn(*this, 1000);
    return false;
}

void TCaptureInfo::CreateVideoWindow()
{
    delete VideoWindow;
    VideoWindow = new TDSVideoWindowEx2(VideoWindowOwner);
    // The owner may free the window first (it is its child).
    QObject::connect(VideoWindow, &QObject::destroyed, [this, window = VideoWindow] {
        if (VideoWindow == window)
            VideoWindow = nullptr;
    });
    VideoWindow->setObjectName("VideoWindow");
    VideoWindow->FullScreenTopMost = true;
    VideoWindow->PopupMenu = VideoWindowMenu;
    VideoWindow->SetAspectRatio(TDSVideoWindowEx2::AspectStretched);
    VideoWindow->NoScreenSaver = true;
    VideoWindow->AutoHideCursor = 2000;
    if (InstallVideoWindowHandlers)
        InstallVideoWindowHandlers(VideoWindow);
    VideoWindow->DoNotUseOverlay = MainInfo && MainInfo->DoNotUseOverlay;
    VideoWindow->SetPlacement(VideoWindowBorders, PictureInPicture);
    VideoWindow->SetFilterGraph(FilterGraph.get());
    if (VideoWindowOwner)
        VideoWindow->show();
    if (OnVideoWindowCreated)
        OnVideoWindowCreated();
}

void TCaptureInfo::SetPictureInPicture(bool on)
{
    PictureInPicture = on;
    if (VideoWindow)
        VideoWindow->SetPlacement(VideoWindowBorders, on);
}

void TCaptureInfo::FreePreviewObjects()
{
    Grabber.reset();
    delete VideoWindow;
    VideoWindow = nullptr;
    AudioTeeCapturePin = nullptr;
    if (USBAudio)
        USBAudio->SetFilterGraph(nullptr);
    USBAudio.reset();
}
