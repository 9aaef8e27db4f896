// Documentation screenshots of the shell: the main window with the TV panel,
// full screen, and a 3 x 3 channel preview mosaic. The picture is a drawn
// stand-in for the capture engine's video (a test card per channel), so the
// shots show the shell and never depend on a card.
//
//   shell-shots OUTPUT_DIR   (run on an X server; writes three PNG files)
//   shell-shots --grab FILE [X Y W H]  (saves the screen, or a rectangle of
//                                       it, as it is now)
#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>

#include "app/forms/main_panel.h"
#include "app/forms/main_window.h"
#include "app/main_info.h"
#include "app/mode_engines.h"
#include "app/shell_views.h"
#include "app/ui_info.h"
#include "channels/channel_info.h"
#include "channels/preview_info.h"
#include "platform/program_folder.h"

namespace {

int g_channel = 4;

// A test card for a channel: a sky, hills, the station's name and clock.
QImage TestCard(int channel, const QSize &size)
{
    static const QColor skies[] = {QColor(38, 92, 168),  QColor(180, 88, 40), QColor(34, 120, 96),
                                   QColor(110, 52, 140), QColor(20, 40, 90),  QColor(150, 130, 40),
                                   QColor(60, 60, 70),   QColor(140, 40, 60), QColor(30, 110, 150)};
    static const char *names[] = {"Lyra News", "Sports 2", "Nature", "Cinema", "Night Sky",
                                  "Weather",   "Archive",  "Music",  "Ocean"};
    const int k = (channel - 1 + 9) % 9;
    QImage img(size, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, skies[k].lighter(150));
    sky.setColorAt(0.65, skies[k]);
    sky.setColorAt(1, skies[k].darker(220));
    p.fillRect(img.rect(), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 236, 170, 210));
    p.drawEllipse(QPointF(size.width() * (0.2 + 0.07 * k), size.height() * 0.3),
                  size.height() * 0.09, size.height() * 0.09);
    for (int layer = 0; layer < 3; ++layer) {
        QPainterPath hills;
        hills.moveTo(0, size.height());
        for (int x = 0; x <= size.width(); x += std::max(4, size.width() / 60)) {
            const double y = size.height() * (0.62 + 0.1 * layer) +
                             std::sin((x + 97 * k + 180 * layer) / (size.width() / (3.0 + layer))) *
                                 size.height() * 0.06;
            hills.lineTo(x, y);
        }
        hills.lineTo(size.width(), size.height() * (0.62 + 0.1 * layer));
        hills.lineTo(size.width(), size.height());
        p.setBrush(skies[(k + 3 + layer) % 9].darker(160 + 40 * layer));
        p.drawPath(hills);
    }
    QFont font("DejaVu Sans");
    font.setBold(true);
    font.setPixelSize(std::max(10, size.height() / 12));
    p.setFont(font);
    p.setPen(QColor(255, 255, 255, 220));
    p.drawText(img.rect().adjusted(size.width() / 20, size.height() / 20, -size.width() / 20, 0),
               Qt::AlignRight | Qt::AlignTop, names[k]);
    return img;
}

// The video window's stand-in: paints the current channel's card.
class TStandIn : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.drawImage(rect(), TestCard(g_channel, size()));
    }
};

struct TChannels : IChannelControl
{
    bool Scanning() const override { return false; }
    void AbortScan() override {}
    bool ScanBand() override { return false; }
    uint8_t Source() const override { return SourceTuner; }
    uint8_t Band() const override { return ModeAntenna; }
    int CurrentNumber() const override { return g_channel; }
    QString ChannelText() const override { return QString(); }
    void SetChannel(int n) override { g_channel = n; }
    void NextChannel() override { ++g_channel; }
    void PreviousChannel() override { --g_channel; }
    void RecallChannel() override {}
    bool SelectBand(uint8_t) override { return true; }
    bool SelectInput(uint8_t) override { return true; }
    uint8_t AudioMode() const override { return 1; }
    uint8_t VideoStandard() const override { return 2; }
    bool SetAudioMode(uint8_t) override { return true; }
    void StoreAudioMode(uint8_t) override {}
    void RestoreState() override {}
    void RestoreStoredSource() override {}
};

struct TAudio : IAudioControl
{
    int32_t V = 42000;
    bool HasMixer() const override { return true; }
    int32_t Volume() const override { return V; }
    bool Muted() const override { return false; }
    void SetVolume(int32_t v) override { V = v; }
    void SetMute(bool) override {}
    void SetLineMute(bool) override {}
};

void Settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool Shot(const QString &file)
{
    Settle(400);
    return QGuiApplication::primaryScreen()->grabWindow(0).save(file);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: shell-shots OUTPUT_DIR\n");
        return 2;
    }
    if (QString(argv[1]) == "--grab" && argc > 2) {
        // Optionally only the rectangle X Y W H of the screen.
        int r[4] = {0, 0, -1, -1};
        for (int i = 0; i < 4 && argc > 3 + i; ++i)
            r[i] = QString(argv[3 + i]).toInt();
        return QGuiApplication::primaryScreen()
                       ->grabWindow(0, r[0], r[1], r[2], r[3])
                       .save(QString::fromLocal8Bit(argv[2]))
                   ? 0
                   : 1;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + "/";
    QDir().mkpath(out);

    TMainInfo main;
    MainInfo = &main;
    main.AppMode = ModeLive;
    TChannels channels;
    TAudio audio;
    ModeEngines.Channels = &channels;
    ModeEngines.Audio = &audio;
    TUIInfo ui;
    if (!ui.LoadSkin(ProgramFolder::ShippedDataDir() + "/" + Skin::SkinFolderName,
                     ProgramFolder::ShippedDataDir() + "/" + Skin::SkinFolderName)) {
        fprintf(stderr, "skin: %s\n", qPrintable(ui.SkinErrors.join("; ")));
        return 1;
    }
    UIInfo = &ui;
    TChannelInfo table;
    table.Mode = ModeAntenna;
    for (int n = 1; n <= 9; ++n)
        table.Antenna[n].Enabled = 1;
    TPreviewInfo preview(&table);
    PreviewInfo = &preview;

    // A desktop behind the windows, as a user's would be.
    QWidget desktop(nullptr, Qt::FramelessWindowHint);
    desktop.setGeometry(QGuiApplication::primaryScreen()->geometry());
    desktop.setAutoFillBackground(true);
    QPalette pal = desktop.palette();
    QLinearGradient wall(0, 0, 0, desktop.height());
    wall.setColorAt(0, QColor(46, 62, 84));
    wall.setColorAt(1, QColor(18, 24, 34));
    pal.setBrush(QPalette::Window, wall);
    desktop.setPalette(pal);
    desktop.show();
    Settle(100);

    auto *window = new TFormMainWindow;
    window->Shutdown = [] {};
    auto *video = new TStandIn(window);
    window->SetVideoWindow(video);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    window->setGeometry(120, 150, 640, 480);
    window->SetAspectRatio(1);
    window->show();
    window->AllowOSD();
    window->ShowMainPanel();
    TMenuState menu = ComputeMenuState(ModeLive, TMenuContext{true, ModeAntenna});
    window->MenuStateChanged(menu, QString());
    if (FormMainPanel) {
        FormMainPanel->ChannelChanged(g_channel, QString());
        FormMainPanel->AudioModeText("Stereo");
        FormMainPanel->ShowTime();
    }
    window->ShowOSDText("4 Cinema", false);
    bool ok = Shot(out + "main_window.png");

    window->HideOSD();
    window->SetFullScreen(true);
    // A click on the picture brings the panel over it.
    if (FormMainPanel) {
        FormMainPanel->ShowForFullScreen(true);
        FormMainPanel->move(screen.right() - FormMainPanel->width() - 40,
                            screen.center().y() - 156);
    }
    window->ShowOSDText("Live", true);
    ok = Shot(out + "full_screen.png") && ok;
    window->SetFullScreen(false);
    window->HideTVPanel();

    // The mosaic: every cell sampled once, the frames drawn per channel.
    window->GrabToSharedImage = [video] { return TestCard(g_channel, video->size()); };
    main.AppMode = ModeChannelPreview;
    window->EnterMosaic();
    window->SamplingTimer()->stop();
    window->BlinkTimer()->stop();
    for (int i = 1; i < int(window->Cells().size()); ++i)
        window->SamplingStep();
    window->SelectCell(4);
    for (const TFormMainWindow::TCell &c : window->Cells())
        c.Caption->show();
    ok = Shot(out + "mosaic.png") && ok;
    delete window;
    UIInfo = nullptr;
    PreviewInfo = nullptr;
    ModeEngines = {};
    MainInfo = nullptr;
    return ok ? 0 : 1;
}
