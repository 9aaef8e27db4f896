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
    if (!build && CardFailed) {
        // The user has been told; the picture comes back when the card is
        // chosen again.
        qCInfo(lcApp) << "preview: the card failed; the graph stays stopped";
        return true;
    }
    if (build) {
        CardFailed = false;
        if (!(wis ? BuildWisPreview() : BuildPreview()))
            return false;
        // A refused route leaves the sound where the card had it.
        if (AudioPath == 1 && !RouteCrossbarAudio())
            qCWarning(lcApp) << "preview: the crossbar's audio stays as it was";
        return RunGraph();
    }
    if (!(wis ? RerenderWisPreview() : RerenderPreview()))
        return false;
    const bool running = RunGraph();
    if (!FMMode && VideoWindow && VideoWindow->OverlayInUse())
        VideoWindow->SetAspectRatio(IVideoWindow::AspectStretched);
    return running;
}

QString TCaptureInfo::GraphErrorPlace(const TGraphError &error) const
{
    QString where = error.Device;
    if (where.isEmpty() && VCapture && error.Filter == VCapture->Name)
        where = VideoDeviceNames.value(ChosenVideoIndex);
    if (where.isEmpty())
        where = error.Filter.isEmpty() ? error.Element : error.Filter;
    qCWarning(lcApp).noquote() << "graph error on" << where
                               << "(" + error.Element + "):" << error.Text << error.Debug;
    return where;
}

void TCaptureInfo::GraphFailed(const TGraphError &error)
{
    // Held back behind a wait, the error may belong to a run that the
    // waiting operation has ended since.
    if (!FilterGraph || error.Serial != FilterGraph->RunSerial())
        return;
    const QString where = GraphErrorPlace(error);
    StopGraph();
    const QString detail = where.isEmpty() ? error.Text : where + ": " + error.Text;
    if (!Quiet)
        ShowWarningDetail(1002, detail);
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
