// Documentation screenshots of the settings dialog, one per page (the TV
// pages with the tuner as source, the "FM" page in FM mode), and of the
// about box.
//
//   config-shots OUTPUT_DIR   (writes seven PNG files; run it under a
//                              virtual X server: scripts/config-shots)
#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include <gst/gst.h>

#include "app/audio_adjust.h"
#include "app/forms/about_box.h"
#include "app/main_info.h"
#include "app/mode_engines.h"
#include "app/oem_info.h"
#include "app/shell_views.h"
#include "capture/capture_info.h"
#include "capture/engine_tuner_port.h"
#include "channels/channel_info.h"
#include "channels/languages.h"
#include "channels/preview_info.h"
#include "platform/filter_registry.h"
#include "platform/gui_wait.h"
#include "platform/program_folder.h"
#include "platform/v4l2_device.h"
#include "platform/v4l2_replay.h"
#include "platform/video_window.h"
#include "playback/forms/form_config.h"

namespace {

bool Save(QWidget *w, const QString &path)
{
    QApplication::processEvents();
    const bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "cannot write", qPrintable(path));
    return ok;
}

class TShotShell : public IShellControl
{
public:
    bool FM = false;
    bool FMPanelVisible() const override { return FM; }
};

} // namespace

int main(int argc, char **argv)
{
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: config-shots OUTPUT_DIR\n");
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
    main.CapturePath = QDir::homePath() + "/Videos/";
    main.FMCapturePath = main.CapturePath;
    MainInfo = &main;
    TOEMInfo oem;
    OEMInfo = &oem;
    TMultiLangInfo lang(LangCfgPath());
    lang.SelectLanguage("English");
    MultiLangInfo = &lang;
    TAudioAdjustInfo audio;
    AudioAdjustInfo = &audio;
    SetV4l2Backend(std::make_shared<TV4l2Replay>(std::vector<TRecordedCard>{}));
    SetRendererOverride({}, "fakesink sync=false");
    auto engine = std::make_unique<TCaptureInfo>();
    if (!engine->SelectDevices() || !engine->StartPreview(true)) {
        std::fprintf(stderr, "config-shots: the virtual card's preview does not start\n");
        return 1;
    }
    CaptureInfo = engine.get();
    InstallEngineTunerPort();
    SetGuiWaitFunction([](int) {});
    TChannelInfo table;
    ChannelInfo = &table;
    TPreviewInfo preview(&table);
    PreviewInfo = &preview;
    table.CountryCode = 1;
    table.Source = SourceTuner;
    table.Mode = ModeAntenna;
    table.LoadFrequencyTable(table.TableNumber);
    table.Antenna[2].Name = "Lyra One";
    table.Antenna[3].Name = "Channel Three";
    table.Antenna[4].Name = "Nature";
    TShotShell shell;
    ModeEngines.Shell = &shell;

    int failures = 0;
    const auto shoot = [&](const QStringList &names) {
        SetConfigDialogHook([&, names](TFormConfig *d) {
            QTimer::singleShot(0, d, [&, d, names] {
                d->resize(620, 600);
                int shot = 0;
                for (int page = 0; page < d->PageControl->count(); ++page) {
                    if (!d->PageControl->isTabVisible(page))
                        continue;
                    d->PageControl->setCurrentIndex(page);
                    failures += !Save(d, out + "/" + names.value(shot++) + ".png");
                }
                d->BitBtnCancelClick();
            });
        });
        ShowConfigDialog();
    };
    shoot({"settings_tv_tuner", "settings_preview", "settings_capture", "settings_video",
           "settings_other"});
    shell.FM = true;
    shoot({"settings_fm"});
    SetConfigDialogHook(nullptr);

    SetAboutBoxHook([&](TFormAbout *box) {
        QTimer::singleShot(0, box, [&, box] {
            failures += !Save(box, out + "/about_box.png");
            box->accept();
        });
    });
    ShowAboutBox(nullptr);
    SetAboutBoxHook(nullptr);

    ModeEngines.Shell = nullptr;
    SetGuiWaitFunction(nullptr);
    PreviewInfo = nullptr;
    ChannelInfo = nullptr;
    TunerPort = nullptr;
    CaptureInfo = nullptr;
    engine->FreeGraphObjects();
    engine.reset();
    SetRendererOverride({}, {});
    SetV4l2Backend(nullptr);
    AudioAdjustInfo = nullptr;
    MultiLangInfo = nullptr;
    OEMInfo = nullptr;
    MainInfo = nullptr;
    SetVideoWindowHost(nullptr);
    return failures ? 1 : 0;
}
