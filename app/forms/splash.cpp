#include "app/forms/splash.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

#include "platform/program_folder.h"

namespace {
QLabel *g_logo = nullptr; // TFormLogo; lives from stage 1 until the source is restored
}

void ShowSplash()
{
    if (g_logo)
        return;
    g_logo =
        new QLabel(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    g_logo->setObjectName("FormLogo");
    // Any picture format Qt reads, whatever the extension says.
    const QPixmap picture(ProgramFolder::File("QLOGO.BMP"));
    if (picture.isNull())
        return; // the form stays hidden
    g_logo->setPixmap(picture);
    g_logo->resize(picture.size());
    if (const QScreen *screen = QApplication::primaryScreen())
        g_logo->move(screen->geometry().center() - g_logo->rect().center());
    g_logo->show();
    QApplication::processEvents();
}

void RefreshSplash()
{
    if (g_logo && g_logo->isVisible())
        g_logo->repaint();
}

void HideSplash()
{
    delete g_logo;
    g_logo = nullptr;
}

bool SplashVisible()
{
    return g_logo && g_logo->isVisible();
}
