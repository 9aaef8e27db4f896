// The preview of the Wis family: its card encodes in hardware, so the
// preview pin carries compressed video that a decoder turns into pictures.
// There is no frame tap in this path.
#include "app/main_info.h"
#include "capture/preview_util.h"
#include "platform/video_output.h"

namespace {

using Dir = TPinDirection;

// Full-size and small capture sizes of the Wis card.
QSize WisPreviewSize(bool is525, bool highQuality)
{
    if (is525)
        return highQuality ? QSize(640, 480) : QSize(320, 240);
    return highQuality ? QSize(720, 576) : QSize(352, 288);
}

} // namespace

bool TCaptureInfo::SetWisVideoFormat(int format, int width, int height)
{
    TGraphFilter *capture = VCapture ? VCapture->Object() : nullptr;
    auto *config = capture ? capture->Query<IStreamConfig>() : nullptr;
    if (!config)
        return false;
    const int32_t codec = MainInfo ? MainInfo->MPEG4Codec : 0;
    QString subtype;
    if (format == FormatMPEG4 || format == FormatAVI)
        subtype = codec != 0 ? "MP4S" : "DX50";
    else if (format == FormatMPEG2 || (format >= FormatDVDNTSC && format <= FormatSVCDPAL))
        subtype = "MPEG2";
    else
        subtype = "MPEG1";
    int count = 0;
    config->GetNumberOfCapabilities(count);
    for (int i = 0; i < count; ++i) {
        TVideoFormat caps;
        if (config->GetStreamCaps(i, caps) != 0)
            continue;
        if (caps.Subtype == subtype && caps.Width == width && caps.Height == height)
            return SetCaptureFormat(caps) == 0;
    }
    return false;
}

bool TCaptureInfo::RenderWisVideo(int kind)
{
    TFilterGraph *graph = FilterGraph.get();
    if (!graph || !PreviewPin)
        return false;
    QString name = kind == 0   ? "MPEG Video Decoder"
                   : kind == 1 ? "HT MPEG Video Decoder"
                               : QString();
    if (kind == 2)
        name =
            MainInfo && MainInfo->MPEG4Codec != 0 ? "WMVideo Decoder DMO" : "DivX Decoder Filter";
    CreateVideoWindow();
    TGraphFilter *renderer = VideoWindow ? VideoWindow->Renderer() : nullptr;
    TPin *rendererIn = TFilterGraph::FindPin(renderer, Dir::Input);
    if (!rendererIn)
        return false;
    VideoDecoder = FindPreviewFilter(*this, name);
    if (VideoDecoder && graph->AddFilter(VideoDecoder, "MPEGVideoDecoder")) {
        if (graph->ConnectDirect(PreviewPin,
                                 TFilterGraph::FindPin(VideoDecoder.get(), Dir::Input)) &&
            graph->ConnectDirect(TFilterGraph::FindPin(VideoDecoder.get(), Dir::Output),
                                 rendererIn))
            return true;
        graph->RemoveFilter(VideoDecoder.get());
    }
    VideoDecoder.reset();
    // Rendered directly: the system picks a decoder for whatever the pin
    // carries.
    TFilterPtr decoder =
        CreateChainFilter("Video Decoder", "decodebin name=first ! videoconvert name=last",
                          {{"Input", "first", "sink", TMediaKind::Stream}},
                          {{"Output", "last", "src", TMediaKind::Video}});
    if (!decoder || !graph->AddFilter(decoder))
        return false;
    if (graph->ConnectDirect(PreviewPin, TFilterGraph::FindPin(decoder.get(), Dir::Input)) &&
        graph->ConnectDirect(TFilterGraph::FindPin(decoder.get(), Dir::Output), rendererIn)) {
        VideoDecoder = decoder;
        return true;
    }
    graph->RemoveFilter(decoder.get());
    return false;
}

// The sound of the Wis card: its second capture pin, to the audio renderer.
static bool RenderWisAudio(TCaptureInfo &engine)
{
    if (!engine.AudioCapturePin)
        return true;
    if (engine.FilterGraph->Render(engine.AudioCapturePin))
        return true;
    PreviewWarnText(engine, "Cannot render audio pin...");
    return false;
}

bool TCaptureInfo::BuildWisPreview()
{
    if (Capturing)
        return false;
    if (!BuildPreviewPins(true))
        return false;
    TGraphFilter *capture = VCapture ? VCapture->Object() : nullptr;
    VideoFormats.clear();
    VideoFormatNames.clear();
    if (auto *config = capture ? capture->Query<IStreamConfig>() : nullptr) {
        int count = 0;
        config->GetNumberOfCapabilities(count);
        for (int i = 0; i < count; ++i) {
            TVideoFormat format;
            if (config->GetStreamCaps(i, format) == 0) {
                VideoFormats.push_back(format);
                VideoFormatNames << format.Name();
            }
        }
    }
    const QSize size = WisPreviewSize(Is525Line(), HighQualityPreview);
    SetWisVideoFormat(CaptureFormat, size.width(), size.height());
    RenderWisAudio(*this);
    if (HasPreviewPin && !RenderWisVideo(1))
        PreviewWarn(*this, 1002);
    AudioPath = 0;
    return FinishPreviewBuild();
}

bool TCaptureInfo::RerenderWisPreview()
{
    if (Capturing || !FilterGraph)
        return false;
    StopGraph();
    RemoveDownstream(CapturePin);
    RemoveDownstream(AudioCapturePin);
    RemoveDownstream(PreviewPin);
    VideoDecoder.reset();
    const QSize size = WisPreviewSize(Is525Line(), HighQualityPreview);
    SetWisVideoFormat(CaptureFormat, size.width(), size.height());
    // The sound is cut with the rest, so it is rendered again too.
    RenderWisAudio(*this);
    if (FMMode)
        return true;
    if (!RenderWisVideo(1)) {
        PreviewWarn(*this, 1002);
        return false;
    }
    return true;
}
