// The channel table on a running preview of the virtual card: the engine,
// its tuner port and a fresh table, with the waits of tuning counted
// instead of slept (or slept, for the tests that time them).
#pragma once

#include <QFile>
#include <QStringList>
#include <memory>
#include <set>

#include <gtest/gtest.h>

#include "app/main_info.h"
#include "capture/capture_info.h"
#include "capture/engine_tuner_port.h"
#include "channels/channel_info.h"
#include "platform/filter_registry.h"
#include "platform/gui_wait.h"
#include "platform/messages.h"
#include "platform/program_folder.h"
#include "platform/v4l2_device.h"
#include "platform/v4l2_replay.h"
#include "platform/virtual_card.h"

class TVirtualScanScope
{
public:
    explicit TVirtualScanScope(bool countWaits = true)
    {
        MainInfo = &Main;
        SetV4l2Backend(std::make_shared<TV4l2Replay>(std::vector<TRecordedCard>{}));
        SetRendererOverride("fakesink sync=false", "fakesink sync=false");
        TVirtualCard &card = TVirtualCard::Instance();
        card.LoadStations(QStringLiteral(LYRA_SOURCE_DIR) + "/data/VirtualStations.txt");
        card.Reset();
        QFile::remove(ProgramFolder::File("TVTable.tbl"));
        QFile::copy(QStringLiteral(LYRA_BINARY_DIR) + "/share/lyra/TVTable.tbl",
                    ProgramFolder::File("TVTable.tbl"));
        Engine = std::make_unique<TCaptureInfo>();
        Ready = Engine->SelectDevices() && Engine->StartPreview(true);
        CaptureInfo = Engine.get();
        InstallEngineTunerPort();
        Table = std::make_unique<TChannelInfo>();
        ChannelInfo = Table.get();
        if (countWaits)
            SetGuiWaitFunction([this](int ms) { WaitedMs += ms; });
    }
    ~TVirtualScanScope()
    {
        SetGuiWaitFunction(nullptr);
        ChannelInfo = nullptr;
        Table.reset();
        TunerPort = nullptr;
        CaptureInfo = nullptr;
        if (Engine)
            Engine->FreeGraphObjects();
        Engine.reset();
        SetRendererOverride({}, {});
        SetV4l2Backend(nullptr);
        TVirtualCard::Instance().Reset();
        MainInfo = nullptr;
    }

    // The channels of a list whose frequency the virtual card locks to:
    // within its lock window of a TV station, and inside the tuner's band.
    std::set<int> LockingChannels(const TTVList &list) const
    {
        std::set<int> out;
        for (int k = 1; k <= TVChannelCount; ++k) {
            const int32_t f = list[k].TableFrequency;
            if (f < Engine->TVMinFrequency || f > Engine->TVMaxFrequency)
                continue;
            for (const TVirtualStation &s : TVirtualCard::Instance().Stations)
                if (!s.FM && std::abs(s.Frequency - f) <= TVirtualCard::LockWindow)
                    out.insert(k);
        }
        return out;
    }

    static std::set<int> Enabled(const TTVList &list)
    {
        std::set<int> out;
        for (int k = 1; k <= TVChannelCount; ++k)
            if (list[k].Enabled)
                out.insert(k);
        return out;
    }

    TMainInfo Main;
    std::unique_ptr<TCaptureInfo> Engine;
    std::unique_ptr<TChannelInfo> Table;
    bool Ready = false;
    int64_t WaitedMs = 0;
};
