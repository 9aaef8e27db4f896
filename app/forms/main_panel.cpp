#include "app/forms/main_panel.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTime>
#include <QToolTip>

#include "app/app_modes.h"
#include "app/forms/plain_text.h"
#include "app/forms/shape_image.h"
#include "app/hotkeys.h"
#include "app/main_info.h"
#include "app/mode_engines.h"
#include "app/ui_info.h"
#include "channels/country_info.h"
#include "channels/languages.h"
#include "platform/messages.h"
#include "platform/text_util.h"

TFormMainPanel *FormMainPanel = nullptr;

namespace {

using Skin::TVRegions;

constexpr int LastButton = 36; // buttons painted pressed; 37 is the lamp

bool IsButton(int r)
{
    return r >= 0 && r <= Skin::TVMuteLamp;
}

QString Word(const QString &key, const QString &fallback)
{
    const QString t = TranslateKey(key);
    return t.isEmpty() ? fallback : t;
}

} // namespace

std::array<bool, Skin::TVRegionCount> PanelEnabledFlags(uint8_t mode, const TPanelContext &c)
{
    std::array<bool, Skin::TVRegionCount> on{};
    const bool live = mode == ModeLive;
    const bool playing = mode == ModePlay || mode == ModeTimeShiftPlay;
    for (int r : {0, 1, 2, 4})
        on[r] = true;
    for (int r : {5, 8, 34, 35})
        on[r] = live;
    on[6] = live && c.TunerSource;
    on[7] = live || playing;
    // The channel keys make sense only for the tuner, whichever mode allows
    // them.
    const bool digits = (on[6] || c.PIPPlaybackRuns) && c.TunerSource;
    on[9] = digits;
    for (int r = 12; r <= 25; ++r)
        on[r] = digits;
    for (int r : {26, 27, 28, 37, 39})
        on[r] = c.HasMixer;
    on[29] = live || (mode == ModeTimeShift && c.TimeShiftPlayAllowed);
    for (int r : {30, 32, 33, 38})
        on[r] = playing;
    on[31] = !live && mode != ModeChannelPreview;
    return on;
}

QPoint PanelPlacement(const QSize &screen, const QSize &mainWindow, const QSize &panel)
{
    const int m = (screen.width() - mainWindow.width()) / 2;
    const int left = m < panel.width() ? screen.width() - panel.width()
                                       : screen.width() / 2 + m - panel.width() / 2;
    return QPoint(left, (screen.height() - mainWindow.height()) / 2);
}

int32_t VolumeFromPoint(const Skin::TRect &bar, int y)
{
    const int h = bar.Height();
    if (h <= 0)
        return 0;
    const int64_t d = std::min(std::max(bar.Bottom - y, 0), h);
    return int32_t(d * 65536 / h);
}

TPanelTextButton::TPanelTextButton(const QString &text, int command, QWidget *parent)
    : QLabel(text, parent), Command(command)
{
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignCenter);
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    SetHot(false);
}

void TPanelTextButton::SetHot(bool hot)
{
    setStyleSheet(hot ? "color: #ff0000; background: transparent;"
                      : "color: #000000; background: transparent;");
}

void TPanelTextButton::enterEvent(QEnterEvent *event)
{
    if (isEnabled())
        SetHot(true);
    QLabel::enterEvent(event);
}

void TPanelTextButton::mouseReleaseEvent(QMouseEvent *event)
{
    SetHot(false);
    if (event->button() == Qt::LeftButton && isEnabled() &&
        rect().contains(event->position().toPoint()))
        SubmitCommand(Command);
}

TFormMainPanel::TFormMainPanel(TUIInfo *ui, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::Tool), UI(ui)
{
    setObjectName("FormMainPanel");
    setWindowTitle("Lyra");
    setAttribute(Qt::WA_TranslucentBackground);
    ShapeImageSkin = new TShapeImage(this);
    ShapeImageSkin->SetPicture(UI->TVPanelLooks[LookNormal]);
    ShapeImageSkin->SetShape(UI->TVPanelMask);
    ShapeImageSkin->OnMouseDown = [this](QMouseEvent *e) { MouseDown(e); };
    ShapeImageSkin->OnMouseMove = [this](QMouseEvent *e) { MouseMove(e); };
    ShapeImageSkin->OnMouseUp = [this](QMouseEvent *e) { MouseUp(e); };
    ShapeImageSkin->OnMouseLeave = [this] {
        if (!Pressed)
            Hover(QPoint(-1, -1));
    };

    const auto label = [this](const char *name, const QString &text) {
        return CreateSkinLabel(this, Skin::TVLabels, name, text);
    };
    LabelTime = label("LabelTime", "00:00:00");
    LabelPAVOState = label("LabelPAVOState", "Live");
    LabelDuration = label("LabelDuration", "0MB");
    LabelCurretPos = label("LabelCurretPos", "0:00:00");
    LabelTVChannelAudio = label("LabelTVChannelAudio", "Mono");
    LabelVideoStandard = label("LabelVideoStandard", "NTSC M");
    LabelVideoStandard->hide();
    LabelChannel = label("LabelChannel", "0");
    LabelSleep = label("LabelSleep", "Sleep");
    LabelSleep->hide();

    const auto button = [this](int region, const QString &text, int command) {
        auto *b = new TPanelTextButton(text, command, this);
        b->setGeometry(UI->TVPanelRegions[region].Rect());
        QFont font("DejaVu Sans");
        font.setPixelSize(UI->TVPanelRegions[region].Rect().height() > 10 ? 8 : 7);
        font.setBold(true);
        b->setFont(font);
        return b;
    };
    PanelVideoSource = button(3, "Antenna", 200);
    PanelFMMode = button(11, "FM", 6000);
    PaneliEPG = button(10, "iEPG", 14);

    TimerShowTime.setInterval(1000);
    connect(&TimerShowTime, &QTimer::timeout, this, &TFormMainPanel::ShowTime);
    // Every region starts disabled and is painted so.
    for (int r = 0; r < NoRegion; ++r)
        PaintAtRest(r);
    ShellViews.TVPanel = this;
}

TFormMainPanel::~TFormMainPanel()
{
    if (ShellViews.TVPanel == this)
        ShellViews.TVPanel = nullptr;
    if (FormMainPanel == this)
        FormMainPanel = nullptr;
}

const QImage &TFormMainPanel::Face() const
{
    return ShapeImageSkin->Picture();
}

bool TFormMainPanel::Enabled(int r) const
{
    return UI->TVPanelRegions[r].Enabled != 0;
}

void TFormMainPanel::SetEnabled(int r, bool on)
{
    UI->TVPanelRegions[r].Enabled = on ? 1 : 0;
}

void TFormMainPanel::PaintRegion(int r, int look)
{
    if (r >= 0 && r < NoRegion)
        ShapeImageSkin->PaintFrom(UI->TVPanelRegions[r].Rect(), UI->TVPanelLooks[look]);
}

void TFormMainPanel::PaintAtRest(int r)
{
    PaintRegion(r, Enabled(r) ? LookNormal : LookDisabled);
}

void TFormMainPanel::ShowHint(int region, const QPoint &global)
{
    const QString hint =
        IsButton(region) && Enabled(region) ? UI->TVPanelRegions[region].Hint : QString();
    ShapeImageSkin->setToolTip(PlainToolTip(hint));
    if (hint.isEmpty())
        QToolTip::hideText();
    else if (global.x() >= 0)
        QToolTip::showText(global, PlainToolTip(hint), ShapeImageSkin,
                           UI->TVPanelRegions[region].Rect());
}

void TFormMainPanel::Hover(const QPoint &pos)
{
    for (TPanelTextButton *b : {PanelVideoSource, PanelFMMode, PaneliEPG})
        b->SetHot(false);
    const int r = UI->TVPanelRegionAt(pos.x(), pos.y());
    if (r == Current || r == Skin::TVMuteLamp)
        return;
    if (IsButton(Current) && Current != Skin::TVMuteLamp)
        PaintAtRest(Current);
    Current = r;
    if (r < Skin::TVMuteLamp && Enabled(r))
        PaintRegion(r, LookHover);
    ShowHint(r, pos.x() >= 0 ? ShapeImageSkin->mapToGlobal(pos) : QPoint(-1, -1));
}

void TFormMainPanel::MouseDown(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton)
        return;
    const QPoint pos = e->position().toPoint();
    DragOrigin = pos;
    Pressed = true;
    const int r = UI->TVPanelRegionAt(pos.x(), pos.y());
    // A button still lit from hovering goes back to rest before another is
    // pressed.
    if (r != Current && Current <= LastButton)
        PaintAtRest(Current);
    Current = r;
    if (r <= LastButton && Enabled(r))
        PaintRegion(r, LookPressed);
}

void TFormMainPanel::MouseMove(QMouseEvent *e)
{
    const QPoint pos = e->position().toPoint();
    if (!Pressed || !(e->buttons() & Qt::LeftButton)) {
        Hover(pos);
        return;
    }
    if (Current == Skin::TVPositionBar)
        Seek(pos.x());
    else if (Current == Skin::TVVolumeBar) {
        if (Enabled(Current))
            SetVolumeFrom(pos.y());
    } else if (Current == NoRegion || (IsButton(Current) && !Enabled(Current)))
        move(this->pos() + pos - DragOrigin);
}

void TFormMainPanel::MouseUp(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton || !Pressed)
        return;
    Pressed = false;
    const QPoint pos = e->position().toPoint();
    if (Current == Skin::TVMuteLamp) {
        if (Enabled(Current))
            SubmitCommand(403);
    } else if (Current == Skin::TVPositionBar) {
        Seek(pos.x());
    } else if (Current == Skin::TVVolumeBar) {
        if (Enabled(Current))
            SetVolumeFrom(pos.y());
    } else if (Current <= LastButton && Enabled(Current)) {
        const int pressed = Current;
        if (UI->TVPanelRegionAt(pos.x(), pos.y()) == pressed &&
            TVRegions[pressed].Command != Skin::NoCommand)
            SubmitCommand(TVRegions[pressed].Command);
        // The command may have hidden or changed the panel; the look is
        // repainted from the state it left.
        PaintAtRest(pressed);
    }
}

void TFormMainPanel::Seek(int x)
{
    const TUIRegion &bar = UI->TVPanelRegions[Skin::TVPositionBar];
    const int w = bar.Right - bar.Left;
    const int p = std::clamp(x - bar.Left, 0, w);
    if (OnSeek && w > 0)
        OnSeek(p, w);
}

void TFormMainPanel::SetVolumeFrom(int y)
{
    const Skin::TRect &bar = TVRegions[Skin::TVVolumeBar].Rect;
    if (ModeEngines.Audio)
        ModeEngines.Audio->SetVolume(VolumeFromPoint(bar, y));
}

void TFormMainPanel::VolumeChanged(int32_t volume, bool muted)
{
    PaintRegion(Skin::TVMuteLamp, muted ? LookNormal : LookDisabled);
    const QRect bar = UI->TVPanelRegions[Skin::TVVolumeBar].Rect();
    PaintRegion(Skin::TVVolumeBar, LookDisabled);
    const int64_t v = std::clamp<int64_t>(volume, 0, 65536);
    const int top = bar.bottom() + 1 - int(v * bar.height() / 65536);
    const QRect part(bar.left(), top, bar.width(), bar.bottom() + 1 - top);
    if (!part.isEmpty())
        ShapeImageSkin->PaintFrom(part, UI->TVPanelLooks[LookNormal]);
}

TPanelContext TFormMainPanel::Context() const
{
    TPanelContext c;
    const TModeEngines &e = ModeEngines;
    c.TunerSource = !e.Channels || e.Channels->Source() == SourceTuner;
    c.HasMixer = e.Audio && e.Audio->HasMixer();
    c.PIPPlaybackRuns =
        MainInfo && MainInfo->PIPPlayback && e.FilePlayback && e.FilePlayback->Exists();
    c.TimeShiftPlayAllowed = e.TimeShift && e.TimeShift->PlaybackAllowed();
    return c;
}

void TFormMainPanel::ApplyEnabled(uint8_t mode)
{
    const auto on = PanelEnabledFlags(mode, Context());
    for (int r = 0; r < NoRegion; ++r)
        SetEnabled(r, on[r]);
    for (int r = 0; r <= LastButton; ++r)
        PaintAtRest(r);
    for (int r = Skin::TVMuteLamp; r < NoRegion; ++r)
        if (!Enabled(r))
            PaintRegion(r, LookDisabled);
    // The bars and the lamp show their values when enabled.
    if (Enabled(Skin::TVVolumeBar) && ModeEngines.Audio)
        VolumeChanged(ModeEngines.Audio->Volume(), ModeEngines.Audio->Muted());
    if (Enabled(Skin::TVPositionBar))
        PaintRegion(Skin::TVPositionBar, LookNormal);
    Current = Pressed ? Current : NoRegion;

    const bool live = mode == ModeLive;
    PanelVideoSource->setEnabled(live);
    PanelFMMode->setVisible(MainInfo && MainInfo->FMAvailable && live);
    PaneliEPG->setVisible(CountryInfo && CountryInfo->LocaleCountry == 81 && live);
}

void TFormMainPanel::ModeChanged(uint8_t mode)
{
    if (mode == ModeFM)
        return;
    ShownMode = mode;
    switch (mode) {
    case ModeLive:
        LabelPAVOState->setText("Live");
        LabelDuration->setText(" 0MB");
        LabelCurretPos->setText("0:00:00");
        break;
    case ModeCapture:
    case ModeScheduledCapture:
        LabelPAVOState->setText("REC");
        break;
    case ModePlay:
        LabelPAVOState->setText("Play");
        break;
    case ModeTimeShift:
    case ModeTimeShiftPlay:
        LabelPAVOState->setText("Time-Shifting");
        break;
    default:
        break;
    }
    ApplyEnabled(mode);
}

void TFormMainPanel::NumberEntered(const QString &buffer, int)
{
    LabelChannel->setText(buffer);
}

void TFormMainPanel::ChannelChanged(int number, const QString &)
{
    LabelChannel->setText(number < 10 ? " " + QString::number(number) : QString::number(number));
}

void TFormMainPanel::SourceChanged(uint8_t source)
{
    QString text;
    if (source == SourceTuner) {
        const uint8_t band =
            ModeEngines.Channels ? ModeEngines.Channels->Band() : uint8_t(ModeAntenna);
        text = band == ModeCable    ? Word("Cable", "Cable")
               : band == ModeMemory ? Word("Memory", "Memory")
                                    : Word("Antenna", "Antenna");
    } else if (source == SourceSVideo) {
        text = Word("SVideo", "S-Video");
    } else if (source == SourceCamera) {
        text = Word("Camera", "Camera");
    } else {
        text = Word("Composite", "Composite");
    }
    PanelVideoSource->setText(text);
    LabelTVChannelAudio->setVisible(source == SourceTuner);
    if (MainInfo)
        ApplyEnabled(MainInfo->AppMode == ModeNone ? uint8_t(ModeLive) : MainInfo->AppMode);
}

void TFormMainPanel::AudioModeText(const QString &text)
{
    LabelTVChannelAudio->setText(text);
}

void TFormMainPanel::VideoStandardText(const QString &text)
{
    LabelVideoStandard->setText(text);
}

void TFormMainPanel::RecordingProgress(const TRecordingProgress &progress)
{
    LabelDuration->setText(QString::asprintf("%.2f MB", double(progress.FileSize) / 1000000.0));
    const bool timeShiftPlay = MainInfo && MainInfo->AppMode == ModeTimeShiftPlay;
    if (!timeShiftPlay)
        LabelCurretPos->setText(FormatHMS(progress.ElapsedSeconds));
}

void TFormMainPanel::PlaybackPosition(qint64 t, qint64 total, bool timeShift)
{
    if (timeShift) {
        LabelCurretPos->setText(FormatHMS(t) + "/" + FormatHMS(total));
    } else {
        LabelDuration->setText(FormatHMS(total));
        LabelCurretPos->setText(FormatHMS(t));
    }
    const QRect bar = UI->TVPanelRegions[Skin::TVPositionBar].Rect();
    PaintRegion(Skin::TVPositionBar, LookNormal);
    if (total <= 0)
        return;
    const int x = int(std::clamp<qint64>(t, 0, total) * bar.width() / total);
    const QImage &hover = UI->TVPanelLooks[LookHover];
    if (x > 0)
        ShapeImageSkin->PaintFrom(QRect(bar.left(), bar.top(), x, bar.height()), hover);
    // The marker: 6 x 13 centred on the position, caps above and below the
    // bar come with it from the hover look.
    const QPoint c(bar.left() + x, bar.center().y());
    ShapeImageSkin->PaintFrom(QRect(c.x() - 3, c.y() - 6, 6, 13), hover);
}

void TFormMainPanel::PlaybackPosition(int, qint64 positionSeconds, qint64 durationSeconds)
{
    PlaybackPosition(positionSeconds, durationSeconds,
                     MainInfo && MainInfo->AppMode == ModeTimeShiftPlay);
}

void TFormMainPanel::PlayPauseState(bool showPlay)
{
    SetEnabled(29, showPlay);
    SetEnabled(30, !showPlay);
    PaintAtRest(29);
    PaintAtRest(30);
}

void TFormMainPanel::PlayItemVisibility(bool visible)
{
    SetEnabled(29, visible);
    PaintAtRest(29);
}

void TFormMainPanel::ShowTime()
{
    LabelTime->setText(FormatHMS(QTime::currentTime().msecsSinceStartOfDay() / 1000));
    if (Recording && Recording())
        LabelPAVOState->setVisible(!LabelPAVOState->isVisible());
    else
        LabelPAVOState->setVisible(true);
    if (SleepTimerRunning && SleepTimerRunning())
        LabelSleep->setVisible(!LabelSleep->isVisible());
    else
        LabelSleep->setVisible(false);
}

void TFormMainPanel::ApplyLanguage()
{
    if (MultiLangInfo)
        UI->ApplyLanguage(*MultiLangInfo);
    else
        UI->ResetHints();
    if (ModeEngines.Channels)
        SourceChanged(ModeEngines.Channels->Source());
}

void TFormMainPanel::RefreshAll()
{
    const TModeEngines &e = ModeEngines;
    if (e.Audio && e.Audio->HasMixer())
        VolumeChanged(e.Audio->Volume(), e.Audio->Muted());
    if (e.Channels) {
        SourceChanged(e.Channels->Source());
        if (e.Channels->Source() == SourceTuner)
            ChannelChanged(e.Channels->CurrentNumber(), QString());
    }
    if (MainInfo)
        ModeChanged(MainInfo->AppMode == ModeNone ? uint8_t(ModeLive) : MainInfo->AppMode);
}

void TFormMainPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    RefreshAll();
    ShowTime();
}

void TFormMainPanel::hideEvent(QHideEvent *event)
{
    QToolTip::hideText();
    QWidget::hideEvent(event);
}

void TFormMainPanel::ShowPanel(const QWidget *mainWindow)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (screen && mainWindow)
        move(screen->geometry().topLeft() +
             PanelPlacement(screen->geometry().size(), mainWindow->frameGeometry().size(), size()));
    show();
    TimerShowTime.start();
}

void TFormMainPanel::HidePanel()
{
    hide();
    TimerShowTime.stop();
}

void TFormMainPanel::ShowForFullScreen(bool on)
{
    if (on == FullScreenShown)
        return;
    FullScreenShown = on;
    if (on) {
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
        show();
        TimerShowTime.start();
        raise();
        activateWindow();
    } else {
        setWindowFlag(Qt::WindowStaysOnTopHint, false);
        HidePanel();
    }
}

void TFormMainPanel::keyPressEvent(QKeyEvent *event)
{
    if (!event->text().isEmpty() && event->text().at(0).isPrint())
        CharacterTyped(event->text().at(0));
}

void TFormMainPanel::keyReleaseEvent(QKeyEvent *event)
{
    if (event->isAutoRepeat())
        return;
    TVPanelKeyUp(VirtualKeyFromQt(event->key(), event->modifiers()),
                 ShiftStateFromQt(event->modifiers()));
}
