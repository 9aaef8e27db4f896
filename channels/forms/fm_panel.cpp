#include "channels/forms/fm_panel.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTime>
#include <QToolTip>

#include "app/app_modes.h"
#include "app/forms/main_panel.h"
#include "app/forms/plain_text.h"
#include "app/forms/shape_image.h"
#include "app/hotkeys.h"
#include "app/main_info.h"
#include "app/mode_engines.h"
#include "app/playback_module.h"
#include "app/ui_info.h"
#include "channels/fm_memories.h"
#include "channels/languages.h"
#include "platform/messages.h"
#include "platform/text_util.h"

TFormFMMainPanel *FormFMMainPanel = nullptr;

namespace {

using Skin::FMRegions;

constexpr int LastButton = 32; // buttons painted pressed; 33 is the lamp
constexpr int TVModeRegion = 6;
constexpr int NeedleWidth =
    Skin::FMRegions[Skin::FMNeedle].Rect.Right - Skin::FMRegions[Skin::FMNeedle].Rect.Left;

bool IsButton(int r)
{
    return r >= 0 && r <= Skin::FMMuteLamp;
}

QString Word(const char *key, const char *fallback)
{
    const QString t = TranslateKey(key);
    return t.isEmpty() ? QString(fallback) : t;
}

// The pop-up menu: command, language key, built-in text; 0 is a separator.
struct TMenuDef
{
    int Command;
    const char *Key;
    const char *Text;
};
constexpr TMenuDef MenuDefs[] = {
    {6001, "FMAvailUp", "Find Avaliable Up"},
    {6002, "FMAvailDown", "Find Avaliable Down"},
    {6003, "FMFreqUp", "Frequency Up"},
    {6004, "FMFreqDown", "Frequency Down"},
    {-1, nullptr, nullptr}, // the frequency items' separator
    {4002, "PreChannel", "Previous Channel"},
    {4001, "NextChannel", "Next Channel"},
    {6005, "FMMemorized", "Memo Channel"},
    {4003, "RecallChannel", "Recall Channel"},
    {0, nullptr, nullptr},
    {1001, "Capture", "Capture"},
    {3000, "Play", "Play"},
    {1003, "Pause", "Pause"},
    {1002, "Stop", "Stop"},
    {1004, "Forward", "Forward"},
    {1005, "Backward", "Backward"},
    {1006, "FastSpeed", "Fast Speed"},
    {1007, "SlowSpeed", "Slow Speed"},
    {0, nullptr, nullptr},
    {403, "Mute", "Mute"},
    {7, "Setup", "Setup"},
    {6000, "TVMode", "TV mode"},
    {10, "ScheduledRecording", "Schedule"},
    {13, "About", "About"},
    {0, nullptr, nullptr},
    {1, "Exit", "Exit"},
};

} // namespace

std::array<bool, Skin::FMRegionCount> FMPanelEnabledFlags(uint8_t mode, const TFMPanelContext &c)
{
    std::array<bool, Skin::FMRegionCount> on{};
    const bool fm = mode == ModeFM;
    const bool playing = mode == ModePlay || mode == ModeTimeShiftPlay;
    for (int r : {0, 1, 2, 3})
        on[r] = true;
    // Setup, memorize, TV, the keypad, channel and frequency steps, Play and
    // Capture: what the commands allow in FM mode only.
    for (int r = 4; r <= 22; ++r)
        on[r] = fm;
    on[26] = fm;
    on[31] = fm;
    for (int r : {23, 24, 25, Skin::FMMuteLamp, Skin::FMVolumeBar})
        on[r] = c.HasMixer;
    for (int r : {27, 29, 30, Skin::FMPositionBar})
        on[r] = playing;
    on[28] = !fm && mode != ModeLive && mode != ModeNone;
    // The About badge stays dark, as on the TV panel.
    on[32] = false;
    // The dial and its needle are displays, always shown.
    on[Skin::FMDial] = on[Skin::FMNeedle] = true;
    return on;
}

TFormFMMainPanel::TFormFMMainPanel(TUIInfo *ui, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::Tool), UI(ui)
{
    setObjectName("FormFMMainPanel");
    setWindowTitle("Lyra FM");
    setAttribute(Qt::WA_TranslucentBackground);
    ShapeImageSkin = new TShapeImage(this);
    ShapeImageSkin->SetPicture(UI->FMPanelLooks[LookNormal]);
    ShapeImageSkin->SetShape(UI->FMPanelMask);
    ShapeImageSkin->OnMouseDown = [this](QMouseEvent *e) { MouseDown(e); };
    ShapeImageSkin->OnMouseMove = [this](QMouseEvent *e) { MouseMove(e); };
    ShapeImageSkin->OnMouseUp = [this](QMouseEvent *e) { MouseUp(e); };
    ShapeImageSkin->OnMouseLeave = [this] {
        if (!Pressed)
            Hover(QPoint(-1, -1));
    };

    const auto label = [this](const char *name, const QString &text) {
        return CreateSkinLabel(this, Skin::FMLabels, name, text);
    };
    LabelPAVOState = label("LabelPAVOState", "FM");
    LabelCurretPos = label("LabelCurretPos", "");
    LabelTime = label("LabelTime", "00:00:00");

    PanelTVMode = new TPanelTextButton("TV", 6000, this);
    PanelTVMode->setGeometry(UI->FMPanelRegions[TVModeRegion].Rect());
    QFont font("DejaVu Sans");
    font.setPixelSize(8);
    font.setBold(true);
    PanelTVMode->setFont(font);

    PopupMenu = new QMenu(this);
    BuildMenu();

    TimerShowTime.setInterval(1000);
    connect(&TimerShowTime, &QTimer::timeout, this, &TFormFMMainPanel::ShowTime);
    for (int r = 0; r < NoRegion; ++r)
        PaintAtRest(r);
    ShellViews.FMPanel = this;
}

TFormFMMainPanel::~TFormFMMainPanel()
{
    if (ShellViews.FMPanel == this)
        ShellViews.FMPanel = nullptr;
    if (FormFMMainPanel == this)
        FormFMMainPanel = nullptr;
}

const QImage &TFormFMMainPanel::Face() const
{
    return ShapeImageSkin->Picture();
}

bool TFormFMMainPanel::Enabled(int r) const
{
    return UI->FMPanelRegions[r].Enabled != 0;
}

void TFormFMMainPanel::SetEnabled(int r, bool on)
{
    UI->FMPanelRegions[r].Enabled = on ? 1 : 0;
}

void TFormFMMainPanel::PlaybackPosition(int, qint64 t, qint64 total)
{
    if (!Enabled(Skin::FMPositionBar))
        return;
    PaintRegion(Skin::FMPositionBar, LookNormal);
    if (total <= 0)
        return;
    const QRect bar = UI->FMPanelRegions[Skin::FMPositionBar].Rect();
    const int x = int(std::clamp<qint64>(t, 0, total) * bar.width() / total);
    if (x > 0)
        ShapeImageSkin->PaintFrom(QRect(bar.left(), bar.top(), x, bar.height()),
                                  UI->FMPanelLooks[LookHover]);
}

void TFormFMMainPanel::PaintRegion(int r, int look)
{
    if (r >= 0 && r < NoRegion)
        ShapeImageSkin->PaintFrom(UI->FMPanelRegions[r].Rect(), UI->FMPanelLooks[look]);
}

void TFormFMMainPanel::PaintAtRest(int r)
{
    if (r == Skin::FMDial || r == Skin::FMNeedle)
        DrawNeedle(ModeEngines.FM ? ModeEngines.FM->FMFrequency() : 0);
    else
        PaintRegion(r, Enabled(r) ? LookNormal : LookDisabled);
}

void TFormFMMainPanel::DrawNeedle(int32_t frequency)
{
    const QRect dial = UI->FMPanelRegions[Skin::FMDial].Rect();
    const QRect needle = UI->FMPanelRegions[Skin::FMNeedle].Rect();
    // The scale, wide and tall enough to wipe a needle at either end.
    const QRect scale =
        QRect(dial.left() - NeedleWidth, std::min(dial.top(), needle.top()),
              dial.width() + 2 * NeedleWidth,
              std::max(dial.bottom(), needle.bottom()) - std::min(dial.top(), needle.top()) + 1);
    ShapeImageSkin->PaintFrom(scale, UI->FMPanelLooks[LookNormal]);
    int32_t low = 0, high = 0;
    if (frequency <= 0 || !ModeEngines.FM || !ModeEngines.FM->Band(low, high)) {
        Needle = 0;
        return;
    }
    Needle = DialNeedleX(frequency, low, high, dial.width());
    // The needle lies in the hover look at its own place; it is copied from
    // there, centred on the frequency's x.
    QImage piece = UI->FMPanelLooks[LookHover].copy(needle);
    QImage face = ShapeImageSkin->Picture();
    QPainter p(&face);
    p.drawImage(QPoint(dial.left() + Needle - needle.width() / 2, needle.top()), piece);
    p.end();
    ShapeImageSkin->PaintFrom(scale, face);
}

void TFormFMMainPanel::ShowHint(int region, const QPoint &global)
{
    const QString hint =
        IsButton(region) && Enabled(region) ? UI->FMPanelRegions[region].Hint : QString();
    ShapeImageSkin->setToolTip(PlainToolTip(hint));
    if (hint.isEmpty())
        QToolTip::hideText();
    else if (global.x() >= 0)
        QToolTip::showText(global, PlainToolTip(hint), ShapeImageSkin,
                           UI->FMPanelRegions[region].Rect());
}

void TFormFMMainPanel::Hover(const QPoint &pos)
{
    PanelTVMode->SetHot(false);
    const int r = UI->FMPanelRegionAt(pos.x(), pos.y());
    if (r == Current || r == Skin::FMMuteLamp)
        return;
    if (IsButton(Current) && Current != Skin::FMMuteLamp)
        PaintAtRest(Current);
    Current = r;
    if (r < Skin::FMMuteLamp && Enabled(r))
        PaintRegion(r, LookHover);
    ShowHint(r, pos.x() >= 0 ? ShapeImageSkin->mapToGlobal(pos) : QPoint(-1, -1));
}

void TFormFMMainPanel::MouseDown(QMouseEvent *e)
{
    if (e->button() == Qt::RightButton) {
        ApplyEnabled(MainInfo ? MainInfo->AppMode : uint8_t(ModeFM));
        PopupMenu->popup(e->globalPosition().toPoint());
        return;
    }
    if (e->button() != Qt::LeftButton)
        return;
    const QPoint pos = e->position().toPoint();
    DragOrigin = pos;
    Pressed = true;
    const int r = UI->FMPanelRegionAt(pos.x(), pos.y());
    if (r != Current && Current <= LastButton)
        PaintAtRest(Current);
    Current = r;
    if (r <= LastButton && Enabled(r))
        PaintRegion(r, LookPressed);
}

void TFormFMMainPanel::MouseMove(QMouseEvent *e)
{
    const QPoint pos = e->position().toPoint();
    if (!Pressed || !(e->buttons() & Qt::LeftButton)) {
        Hover(pos);
        return;
    }
    if (Current == Skin::FMPositionBar) {
        const QRect bar = UI->FMPanelRegions[Skin::FMPositionBar].Rect();
        if (OnSeek && Enabled(Current))
            OnSeek(std::clamp(pos.x() - bar.left(), 0, bar.width()), bar.width());
    } else if (Current == Skin::FMVolumeBar) {
        if (Enabled(Current) && ModeEngines.Audio)
            ModeEngines.Audio->SetVolume(
                VolumeFromPoint(FMRegions[Skin::FMVolumeBar].Rect, pos.y()));
    } else if (Current == NoRegion || Current >= Skin::FMDial ||
               (IsButton(Current) && !Enabled(Current))) {
        // Empty skin, the dial or a dark key: the panel is dragged.
        move(this->pos() + pos - DragOrigin);
    }
}

void TFormFMMainPanel::MouseUp(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton || !Pressed)
        return;
    Pressed = false;
    const QPoint pos = e->position().toPoint();
    if (Current == Skin::FMMuteLamp) {
        if (Enabled(Current))
            SubmitCommand(403);
    } else if (Current == Skin::FMPositionBar) {
        const QRect bar = UI->FMPanelRegions[Skin::FMPositionBar].Rect();
        if (OnSeek && Enabled(Current))
            OnSeek(std::clamp(pos.x() - bar.left(), 0, bar.width()), bar.width());
    } else if (Current == Skin::FMVolumeBar) {
        if (Enabled(Current) && ModeEngines.Audio)
            ModeEngines.Audio->SetVolume(
                VolumeFromPoint(FMRegions[Skin::FMVolumeBar].Rect, pos.y()));
    } else if (Current <= LastButton && Enabled(Current)) {
        const int pressed = Current;
        if (UI->FMPanelRegionAt(pos.x(), pos.y()) == pressed &&
            FMRegions[pressed].Command != Skin::NoCommand)
            SubmitCommand(FMRegions[pressed].Command);
        PaintAtRest(pressed);
    }
}

void TFormFMMainPanel::VolumeChanged(int32_t volume, bool muted)
{
    PaintRegion(Skin::FMMuteLamp, muted ? LookNormal : LookDisabled);
    const QRect bar = UI->FMPanelRegions[Skin::FMVolumeBar].Rect();
    PaintRegion(Skin::FMVolumeBar, LookDisabled);
    const int64_t v = std::clamp<int64_t>(volume, 0, 65536);
    const int top = bar.bottom() + 1 - int(v * bar.height() / 65536);
    const QRect part(bar.left(), top, bar.width(), bar.bottom() + 1 - top);
    if (!part.isEmpty())
        ShapeImageSkin->PaintFrom(part, UI->FMPanelLooks[LookNormal]);
    if (QAction *mute = MenuItem(403))
        mute->setChecked(muted);
}

void TFormFMMainPanel::ApplyEnabled(uint8_t mode)
{
    TFMPanelContext c;
    c.HasMixer = ModeEngines.Audio && ModeEngines.Audio->HasMixer();
    const auto on = FMPanelEnabledFlags(mode, c);
    for (int r = 0; r < NoRegion; ++r)
        SetEnabled(r, on[r]);
    for (int r = 0; r <= LastButton; ++r)
        PaintAtRest(r);
    for (int r = Skin::FMMuteLamp; r < Skin::FMDial; ++r)
        if (!Enabled(r))
            PaintRegion(r, LookDisabled);
    if (Enabled(Skin::FMVolumeBar) && ModeEngines.Audio)
        VolumeChanged(ModeEngines.Audio->Volume(), ModeEngines.Audio->Muted());
    if (Enabled(Skin::FMPositionBar))
        PaintRegion(Skin::FMPositionBar, LookNormal);
    Current = Pressed ? Current : NoRegion;

    // Only in live FM: the TV button and the frequency steps.
    const bool fm = mode == ModeFM;
    PanelTVMode->setEnabled(fm);
    for (int command : {6003, 6004})
        MenuItem(command)->setVisible(fm);
    FrequencySeparator->setVisible(fm);
}

void TFormFMMainPanel::ModeChanged(uint8_t mode)
{
    switch (mode) {
    case ModeCapture:
    case ModeScheduledCapture:
        LabelPAVOState->setText("REC");
        break;
    case ModePlay:
        LabelPAVOState->setText("Play");
        break;
    case ModeFM:
        LabelPAVOState->setText("FM");
        if (ModeEngines.Audio)
            ModeEngines.Audio->SetLineMute(false);
        break;
    default:
        break;
    }
    ApplyEnabled(mode);
}

void TFormFMMainPanel::ChannelChanged(int number, const QString &)
{
    const int32_t f = ModeEngines.FM ? ModeEngines.FM->FMFrequency() : 0;
    LabelCurretPos->setText(QString("CH=%1 (%2M)").arg(number).arg(FormatMHz(f)));
}

void TFormFMMainPanel::FMPanelUpdate()
{
    const int32_t f = ModeEngines.FM ? ModeEngines.FM->FMFrequency() : 0;
    DrawNeedle(f);
    LabelCurretPos->setText(FormatMHz(f) + "MHz");
}

void TFormFMMainPanel::PlayPauseState(bool showPlay)
{
    SetEnabled(26, showPlay);
    SetEnabled(27, !showPlay);
    PaintAtRest(26);
    PaintAtRest(27);
}

void TFormFMMainPanel::ShowTime()
{
    LabelTime->setText(FormatHMS(QTime::currentTime().msecsSinceStartOfDay() / 1000));
    if (Recording && Recording())
        LabelPAVOState->setVisible(!LabelPAVOState->isVisible());
    else
        LabelPAVOState->setVisible(true);
}

QAction *TFormFMMainPanel::MenuItem(int command) const
{
    for (QAction *a : PopupMenu->actions())
        if (!a->isSeparator() && a->data().toInt() == command)
            return a;
    return nullptr;
}

void TFormFMMainPanel::BuildMenu()
{
    for (const TMenuDef &d : MenuDefs) {
        if (d.Command <= 0) {
            QAction *separator = PopupMenu->addSeparator();
            if (d.Command < 0)
                FrequencySeparator = separator;
            continue;
        }
        QAction *a = PopupMenu->addAction(d.Text);
        a->setData(d.Command);
        if (d.Command == 403)
            a->setCheckable(true);
        const int command = d.Command;
        connect(a, &QAction::triggered, this, [command] { SubmitCommand(command); });
    }
}

void TFormFMMainPanel::ApplyLanguage()
{
    if (MultiLangInfo)
        UI->ApplyLanguage(*MultiLangInfo);
    else
        UI->ResetHints();
    for (const TMenuDef &d : MenuDefs)
        if (d.Command > 0)
            MenuItem(d.Command)->setText(Word(d.Key, d.Text));
    PanelTVMode->setToolTip(PlainToolTip(UI->FMPanelRegions[TVModeRegion].Hint));
}

void TFormFMMainPanel::RefreshAll()
{
    const TModeEngines &e = ModeEngines;
    if (e.Audio && e.Audio->HasMixer())
        VolumeChanged(e.Audio->Volume(), e.Audio->Muted());
    if (MainInfo)
        ModeChanged(MainInfo->AppMode);
    FMPanelUpdate();
}

void TFormFMMainPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    RefreshAll();
    ShowTime();
}

void TFormFMMainPanel::hideEvent(QHideEvent *event)
{
    QToolTip::hideText();
    QWidget::hideEvent(event);
}

void TFormFMMainPanel::PlacePanel(const QWidget *mainWindow)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (screen && mainWindow)
        move(screen->geometry().topLeft() +
             PanelPlacement(screen->geometry().size(), mainWindow->frameGeometry().size(), size()));
}

void TFormFMMainPanel::ShowPanel(const QWidget *mainWindow)
{
    PlacePanel(mainWindow);
    show();
    TimerShowTime.start();
}

void TFormFMMainPanel::HidePanel()
{
    hide();
    TimerShowTime.stop();
}

void TFormFMMainPanel::keyPressEvent(QKeyEvent *event)
{
    if (!event->text().isEmpty() && event->text().at(0).isPrint())
        CharacterTyped(event->text().at(0));
}

void TFormFMMainPanel::keyReleaseEvent(QKeyEvent *event)
{
    if (event->isAutoRepeat())
        return;
    TVPanelKeyUp(VirtualKeyFromQt(event->key(), event->modifiers()),
                 ShiftStateFromQt(event->modifiers()));
}

bool CreateFMPanel()
{
    if (FormFMMainPanel)
        return true;
    if (!UIInfo || UIInfo->FMPanelLooks[LookNormal].isNull())
        return false;
    FormFMMainPanel = new TFormFMMainPanel(UIInfo);
    FormFMMainPanel->Recording = [] {
        return ModeEngines.Recording && ModeEngines.Recording->IsRecording();
    };
    FormFMMainPanel->OnSeek = [](int p, int w) {
        if (w > 0)
            SubmitSeek(p * 100 / w);
    };
    FormFMMainPanel->ApplyLanguage();
    return true;
}

void ShowFMPanel(const QWidget *mainWindow)
{
    if (!CreateFMPanel()) {
        ShowWarningText("Cannot create FM panel...");
        return;
    }
    FormFMMainPanel->ShowPanel(mainWindow);
}

void HideFMPanel()
{
    if (FormFMMainPanel)
        FormFMMainPanel->HidePanel();
}

void PlaceFMPanel(const QWidget *mainWindow)
{
    if (FormFMMainPanel)
        FormFMMainPanel->PlacePanel(mainWindow);
}

bool FMPanelShown()
{
    return FormFMMainPanel && FormFMMainPanel->isVisible();
}

void FreeFMPanel()
{
    delete FormFMMainPanel;
}
