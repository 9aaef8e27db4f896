#include "app/main_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPixmap>
#include <QTimer>

#include "app/audio_adjust.h"
#include "app/oem_info.h"
#include "app/startup.h"
#include "channels/country_info.h"
#include "platform/program_folder.h"

TFormMainWindow *FormMainWindow = nullptr;

TFormMainWindow::TFormMainWindow(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName("FormMainWindow");
    setWindowTitle("Lyra");
    resize(480, 360);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setCursor(Qt::PointingHandCursor);
    ImageLogo = new QLabel(this);
    ImageLogo->hide();
}

TFormMainWindow::~TFormMainWindow()
{
    if (FormMainWindow == this)
        FormMainWindow = nullptr;
}

bool TFormMainWindow::FormCreate()
{
    WindowState = 0;
    WheelUp = WheelDown = 0;
    if (OEMInfo && OEMInfo->TitleBitmapPresent) {
        ImageLogo->setPixmap(QPixmap(ProgramFolder::File("QTitle.bmp")));
        ImageLogo->adjustSize();
        ImageLogo->show();
    } else {
        ImageLogo->hide();
    }
    if (!InitializeApplication(this))
        return false;
    MuteItemVisible = AudioAdjustInfo && AudioAdjustInfo->HasMixer;
    MuteItemChecked = AudioAdjustInfo && AudioAdjustInfo->Muted;
    // Stage 2 runs from the event queue, once this window exists.
    QTimer::singleShot(0, this, [this] { DeferredStart(this); });
    EPGItemVisible = CountryInfo && CountryInfo->LocaleCountry == 81;
    return true;
}

void TFormMainWindow::ActivateFirstInstance()
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void TFormMainWindow::closeEvent(QCloseEvent *event)
{
    ShutdownApplication();
    event->accept();
}
