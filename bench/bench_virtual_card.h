// What a benchmark on the virtual card sets up around the capture engine:
// the settings with a capture folder, no real V4L2 card, frames to a
// fakesink, a window host without windows, and the virtual stations on the
// saa7134 profile. Undone when it goes out of scope.
#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "app/main_info.h"
#include "platform/filter_registry.h"
#include "platform/v4l2_device.h"
#include "platform/v4l2_replay.h"
#include "platform/video_window.h"
#include "platform/virtual_card.h"

struct TBenchVirtualCard
{
    explicit TBenchVirtualCard(const QString &captureFolder)
    {
        Main.CapturePath = captureFolder + "/";
        MainInfo = &Main;
        SetV4l2Backend(std::make_shared<TV4l2Replay>(std::vector<TRecordedCard>{}));
        SetRendererOverride({}, "fakesink sync=true");
        SetVideoWindowHost(&Host);
        TVirtualCard::Instance().LoadStations(QStringLiteral(LYRA_SOURCE_DIR) +
                                              "/data/VirtualStations.txt");
        SetVirtualCardProfile("saa7134");
    }
    ~TBenchVirtualCard()
    {
        SetVideoWindowHost(nullptr);
        MainInfo = nullptr;
    }
    TBenchVirtualCard(const TBenchVirtualCard &) = delete;
    TBenchVirtualCard &operator=(const TBenchVirtualCard &) = delete;

    TMainInfo Main;
    TVideoWindowHost Host;
};
