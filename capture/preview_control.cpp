// Starting and stopping the preview, the video window and its placement.
#include "app/main_info.h"
#include "capture/preview_util.h"
#include "platform/video_output.h"

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
        VideoWindow->SetAspectRatio(IVideoWindow::AspectStretched);
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
    VideoWindow = nullptr;
    IVideoWindowHost *host = VideoWindowHost();
    if (!host)
        return;
    TVideoWindowRequest request;
    request.DoNotUseOverlay = MainInfo && MainInfo->DoNotUseOverlay;
    request.Inset = PictureInPicture;
    IVideoWindow *window = host->CreateVideoWindow(request);
    if (!window)
        return;
    VideoWindow = window;
    // The owner may free the window first (it is its child).
    window->OnDestroyed = [this, window] {
        if (VideoWindow == window)
            VideoWindow = nullptr;
    };
    window->SetFilterGraph(FilterGraph.get());
    if (OnVideoWindowCreated)
        OnVideoWindowCreated();
}

void TCaptureInfo::SetPictureInPicture(bool on)
{
    PictureInPicture = on;
    if (VideoWindow)
        VideoWindow->SetInset(on);
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
