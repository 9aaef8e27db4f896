// Documentation screenshots of finding channels: the three pages of the set-up
// wizard (the third after a real table scan of the virtual card) and the
// frequency table editor holding what the scan found.
//
//   channel-shots OUTPUT_DIR   (writes four PNG files; run it under a
//                               virtual X server: scripts/channel-shots)
#include <QApplication>
#include <QDir>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include <gst/gst.h>

#include "app/main_info.h"
#include "capture/capture_info.h"
#include "capture/engine_tuner_port.h"
#include "channels/channel_info.h"
#include "channels/forms/frequency_editor.h"
#include "channels/forms/setup_wizard.h"
#include "platform/filter_registry.h"
#include "platform/gui_wait.h"
#include "platform/program_folder.h"
#include "platform/v4l2_device.h"
#include "platform/v4l2_replay.h"
#include "platform/video_window.h"

namespace {

bool Save(QWidget *w, const QString &path)
{
    QApplication::processEvents();
    const bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "cannot write", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: channel-shots OUTPUT_DIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    QTemporaryDir folder;
    if (!folder.isValid() || !ProgramFolder::Init(folder.path()))
        return 1;
    ProgramFolder::InstallShippedData();

    TVideoWindowHost host;
    SetVideoWindowHost(&host);
    TMainInfo main;
    MainInfo = &main;
    SetV4l2Backend(std::make_shared<TV4l2Replay>(std::vector<TRecordedCard>{}));
    SetRendererOverride({}, "fakesink sync=false");
    auto engine = std::make_unique<TCaptureInfo>();
    if (!engine->SelectDevices() || !engine->StartPreview(true)) {
        std::fprintf(stderr, "channel-shots: the virtual card's preview does not start\n");
        return 1;
    }
    CaptureInfo = engine.get();
    InstallEngineTunerPort();
    TChannelInfo table;
    ChannelInfo = &table;
    table.CountryCode = 1;
    // The scan tunes for real; only its waits are skipped.
    SetGuiWaitFunction([](int) {});

    int failures = 0;
    SetWizardOpenedHook([&](TFormTVSetupWizard *w) {
        QTimer::singleShot(0, w, [&, w] {
            w->resize(460, 430);
            failures += !Save(w, out + "/wizard_page1.png");
            w->BitBtnNextClick();
            failures += !Save(w, out + "/wizard_page2.png");
            w->BitBtnNextClick();
            w->BitBtnStartClick();
            failures += !Save(w, out + "/wizard_page3.png");
            w->BitBtnFinishClick();
        });
    });
    RunSetupWizard(false);
    SetWizardOpenedHook(nullptr);

    table.Antenna[2].Name = "Lyra One";
    table.Antenna[3].Name = "Channel Three";
    SetFrequencyEditorHook([&](TFormEditFrequencyTable *f) {
        QTimer::singleShot(0, f, [&, f] {
            failures += !Save(f, out + "/frequency_editor.png");
            f->reject();
        });
    });
    EditFrequencyTable();
    SetFrequencyEditorHook(nullptr);

    SetGuiWaitFunction(nullptr);
    ChannelInfo = nullptr;
    TunerPort = nullptr;
    CaptureInfo = nullptr;
    engine->FreeGraphObjects();
    engine.reset();
    SetRendererOverride({}, {});
    SetV4l2Backend(nullptr);
    MainInfo = nullptr;
    SetVideoWindowHost(nullptr);
    return failures ? 1 : 0;
}
