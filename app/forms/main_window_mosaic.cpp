// The channel preview mosaic: an N x N grid of cells that the live picture
// visits one after another, each cell keeping the last frame it showed.
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>

#include "app/app_modes.h"
#include "app/forms/main_window.h"
#include "app/forms/osd_form.h"
#include "app/main_info.h"
#include "app/skin_regions.h"
#include "channels/preview_info.h"
#include "platform/gui_wait.h"

namespace {

constexpr int VkReturn = 13, VkLeft = 37, VkUp = 38, VkRight = 39, VkDown = 40;

// A cell picture: a click selects it, a double click chooses it, the right
// button opens the main pop-up menu.
class TCellImage : public QLabel
{
public:
    TCellImage(TFormMainWindow *owner, int index) : QLabel(owner), Owner(owner), Index(index)
    {
        setScaledContents(true);
        setStyleSheet("background: #101418;");
    }

protected:
    void mousePressEvent(QMouseEvent *e) override
    {
        if (e->button() == Qt::RightButton)
            Owner->OpenPopupMenu();
        else if (e->button() == Qt::LeftButton)
            Owner->SelectCell(Index);
    }
    void mouseDoubleClickEvent(QMouseEvent *e) override
    {
        if (e->button() == Qt::LeftButton)
            Owner->ChooseCell(Index);
    }

private:
    TFormMainWindow *Owner;
    int Index;
};

} // namespace

QRect MosaicCellRect(const QSize &client, int n, int row, int column)
{
    const int w = client.width() - 2 * Skin::BorderSideWidth;
    const int h = client.height() - Skin::BorderTopHeight - Skin::BorderBottomHeight;
    return QRect(w / n * column + Skin::BorderSideWidth + 5,
                 h / n * row + Skin::BorderTopHeight + 5, w / n - 10, h / n - 10);
}

int MosaicStep(int selected, int key, int n, const std::function<bool(int)> &exists)
{
    if (n <= 0)
        return -1;
    int target;
    if (selected < 0) {
        target = 0;
    } else {
        int row = selected / n, col = selected % n;
        switch (key) {
        case VkLeft:
            if (col > 0)
                --col;
            else {
                col = n - 1;
                row = row > 0 ? row - 1 : n - 1;
            }
            break;
        case VkRight:
            if (col < n - 1)
                ++col;
            else {
                col = 0;
                row = row < n - 1 ? row + 1 : 0;
            }
            break;
        case VkUp:
            if (row == 0)
                return -1;
            --row;
            break;
        case VkDown:
            if (row == n - 1)
                return -1;
            ++row;
            break;
        default:
            return -1;
        }
        target = row * n + col;
    }
    return exists(target) ? target : -1;
}

bool TFormMainWindow::HasMarkedChannels() const
{
    return PreviewInfo && PreviewInfo->CellCount() > 0;
}

bool TFormMainWindow::SetChannelPreview(bool on)
{
    if (on == InMosaic)
        return true;
    if (on) {
        SuppressOSD();
        SetVideoDesktop(false);
        SetFullScreen(false);
        SavedAspect = MainInfo ? MainInfo->AspectRatio : 0;
        if (MainInfo)
            MainInfo->AspectRatio = 0;
        SavedGeometry = geometry();
        if (PreviewInfo && !PreviewInfo->Customize) {
            if (ModeEngines.Channels)
                PreviewInfo->SetStartChannel(ModeEngines.Channels->CurrentNumber());
            PreviewInfo->Refill();
        }
        InMosaic = true;
        ShowChrome(false);
        setMinimumSize(MinimumWindowSize(0, true));
        const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        setGeometry(screen->geometry());
        raise();
        BuildMosaic();
    } else {
        if (MainInfo)
            MainInfo->AspectRatio = SavedAspect;
        if (TimerSampling)
            TimerSampling->stop();
        if (TimerBlink)
            TimerBlink->stop();
        InMosaic = false;
        ShowChrome(true);
        PlaceChrome();
        if (QWidget *v = VideoWidget())
            v->show();
        AllowOSD();
        emit RestoreBoundsPosted();
    }
    ApplyMenuState();
    return true;
}

void TFormMainWindow::RestoreBounds()
{
    if (InMosaic)
        return;
    setMinimumSize(MinimumWindowSize(MainInfo ? MainInfo->AspectRatio : 0, false));
    if (SavedGeometry.isValid())
        setGeometry(SavedGeometry);
    FreeMosaic();
    ApplyAspectConstraint();
    PlaceChrome();
}

void TFormMainWindow::FreeMosaic()
{
    for (TCell &c : MosaicCells) {
        delete c.Image;
        delete c.Caption;
    }
    MosaicCells.clear();
    delete TimerSampling;
    delete TimerBlink;
    TimerSampling = TimerBlink = nullptr;
    BlinkLabel = PreviousBlinkLabel = nullptr;
    Selected = PreviousSelected = LastSampled = -1;
}

void TFormMainWindow::BuildMosaic()
{
    FreeMosaic();
    Sampling = 1;
    GridN = PreviewInfo ? std::clamp(PreviewInfo->Dimension, 1, PreviewGridMax) : 3;
    const int count = PreviewInfo ? PreviewInfo->CellCount() : 0;
    for (int row = 0; row < GridN; ++row) {
        for (int col = 0; col < GridN && int(MosaicCells.size()) < count; ++col) {
            TCell c;
            c.Row = row;
            c.Column = col;
            c.Image = new TCellImage(this, int(MosaicCells.size()));
            c.Image->hide();
            c.Caption = new QLabel(this);
            c.Caption->setTextFormat(Qt::PlainText);
            c.Caption->setAttribute(Qt::WA_TransparentForMouseEvents);
            c.Caption->setStyleSheet("color: #ffff00; background: transparent; font-weight: bold;");
            c.Caption->setIndent(6);
            c.Caption->show();
            MosaicCells.push_back(c);
        }
    }
    Selected = -1;
    LayoutMosaic();
    if (QWidget *v = VideoWidget(); v && !MosaicCells.empty()) {
        v->setGeometry(MosaicCells[0].Image->geometry());
        v->show();
    }
    const int interval = (PreviewInfo ? std::max(PreviewInfo->Interval, 1) : 3) * 1000;
    TimerSampling = new QTimer(this);
    TimerSampling->setInterval(interval);
    // Each step tunes; neither step may run inside the waits of a tune.
    connect(TimerSampling, &QTimer::timeout, this, [this] {
        RunOutsideWaits(
            this, [this] { SamplingStep(); }, TimerSampling);
    });
    TimerBlink = new QTimer(this);
    TimerBlink->setInterval(interval >> 3);
    connect(TimerBlink, &QTimer::timeout, this, [this] {
        RunOutsideWaits(
            this, [this] { BlinkStep(); }, TimerBlink);
    });
    TimerSampling->start();
    TimerBlink->start();
    SamplingStep();
}

void TFormMainWindow::LayoutMosaic()
{
    for (const TCell &c : MosaicCells) {
        const QRect r = MosaicCellRect(size(), GridN, c.Row, c.Column);
        c.Image->setGeometry(r);
        c.Caption->setGeometry(r.left(), r.top(), r.width(), r.height() / 5);
        QFont font = c.Caption->font();
        font.setPointSize(std::max(r.height() / 10, 8));
        font.setBold(true);
        c.Caption->setFont(font);
        c.Caption->raise();
    }
    if (QWidget *v = VideoWidget(); v && LastSampled >= 0 && LastSampled < int(MosaicCells.size()))
        v->setGeometry(MosaicCells[LastSampled].Image->geometry());
    update();
}

void TFormMainWindow::SamplingStep()
{
    // A tick that was held during a wait may come after the mosaic closed.
    if (!InMosaic || MosaicCells.empty())
        return;
    PreviousBlinkLabel = BlinkLabel;
    const int index = Sampling - 1;
    if (index >= int(MosaicCells.size())) {
        Sampling = 1;
        return;
    }
    TCell &cell = MosaicCells[index];
    cell.Image->show();
    // The frame on screen now belongs to the cell sampled last.
    if (GrabToSharedImage && LastSampled >= 0) {
        const QImage frame = GrabToSharedImage();
        if (!frame.isNull())
            MosaicCells[LastSampled].Image->setPixmap(QPixmap::fromImage(frame));
    }
    if (QWidget *v = VideoWidget()) {
        v->setGeometry(cell.Image->geometry());
        v->show();
        v->raise();
    }
    // What the cell shows and what is to be tuned for it; the tune comes
    // last, when the cell is no longer touched (it waits for the tuner).
    std::function<void(IChannelControl *)> tune;
    if (PreviewInfo && PreviewInfo->Customize) {
        const TPreviewCell &def = PreviewInfo->CustomCells[cell.Row][cell.Column];
        cell.Kind = def.Kind;
        switch (def.Kind) {
        case 1:
        case 2: {
            cell.Value = def.Channel;
            cell.Caption->setText(QString::number(def.Channel));
            const uint8_t band = def.Kind == 1 ? ModeAntenna : ModeCable;
            const int channel = def.Channel;
            tune = [band, channel](IChannelControl *ch) {
                ch->SelectBand(band);
                ch->SetChannel(channel);
            };
            break;
        }
        case 3:
        case 4:
        case 5: {
            cell.Value = -(def.Kind - 2);
            cell.Caption->setText(def.Kind == 3   ? "Composite"
                                  : def.Kind == 4 ? "S-Video"
                                                  : "Camera");
            const auto source = uint8_t(def.Kind - 2);
            tune = [source](IChannelControl *ch) { ch->SelectInput(source); };
            break;
        }
        default:
            cell.Value = 0;
            cell.Caption->setText(QString());
            break;
        }
    } else {
        cell.Value = PreviewInfo ? PreviewInfo->Cells[cell.Row][cell.Column].Channel : 0;
        cell.Caption->setText(QString::number(cell.Value));
        if (const int channel = cell.Value; channel > 0)
            tune = [channel](IChannelControl *ch) { ch->SetChannel(channel); };
    }
    cell.Caption->raise();
    BlinkLabel = cell.Caption;
    LastSampled = index;
    if (++Sampling > int(MosaicCells.size())) {
        Sampling = 1;
        if (PreviewInfo)
            PreviewInfo->NextPage();
    }
    if (tune && ModeEngines.Channels)
        tune(ModeEngines.Channels);
}

void TFormMainWindow::BlinkStep()
{
    if (!InMosaic)
        return;
    if (PreviousBlinkLabel && PreviousBlinkLabel != BlinkLabel)
        PreviousBlinkLabel->setVisible(true);
    if (BlinkLabel)
        BlinkLabel->setVisible(!BlinkLabel->isVisible());
}

void TFormMainWindow::SelectCell(int index)
{
    if (index < 0 || index >= int(MosaicCells.size()))
        return;
    PreviousSelected = Selected;
    Selected = index;
    update();
}

void TFormMainWindow::ChooseCell(int index)
{
    if (index < 0 || index >= int(MosaicCells.size()))
        index = LastSampled;
    if (index < 0 || index >= int(MosaicCells.size()))
        return;
    const TCell cell = MosaicCells[index];
    IChannelControl *ch = ModeEngines.Channels;
    if (PreviewInfo && PreviewInfo->Customize) {
        if (cell.Kind == 0)
            return;
        if (ch) {
            if (cell.Kind <= 2) {
                ch->SelectBand(cell.Kind == 1 ? ModeAntenna : ModeCable);
                ch->SetChannel(cell.Value);
            } else {
                ch->SelectInput(uint8_t(cell.Kind - 2));
            }
        }
    } else if (ch && cell.Value > 0) {
        ch->SetChannel(cell.Value);
    }
    if (MainInfo)
        MainInfo->SetAppMode(ModeLive);
}

void TFormMainWindow::TakeSelectedCell()
{
    ChooseCell(Selected);
}

void TFormMainWindow::MosaicKey(int key)
{
    if (!InMosaic)
        return;
    if (key == VkReturn) {
        if (Selected >= 0)
            ChooseCell(Selected);
        return;
    }
    const int target = MosaicStep(Selected, key, GridN, [this](int i) {
        return i >= 0 && i < int(MosaicCells.size()) && MosaicCells[i].Image->isVisibleTo(this);
    });
    if (target >= 0)
        SelectCell(target);
}
