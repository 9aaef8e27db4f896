#include "platform/screensaver.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>

#include "platform/log.h"

namespace {
const char *Service = "org.freedesktop.ScreenSaver";
const char *Path = "/org/freedesktop/ScreenSaver";

bool ServiceThere()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    return bus.interface()->isServiceRegistered(Service).value();
}
} // namespace

bool TScreenSaverGuard::Inhibit(const QString &application, const QString &reason)
{
    if (Cookie != 0)
        return true;
    if (!ServiceThere())
        return false;
    QDBusInterface saver(Service, Path, Service, QDBusConnection::sessionBus());
    QDBusReply<uint32_t> reply = saver.call("Inhibit", application, reason);
    if (!reply.isValid()) {
        qCInfo(lcApp) << "screen saver inhibit refused:" << reply.error().message();
        return false;
    }
    Cookie = reply.value();
    return Cookie != 0;
}

void TScreenSaverGuard::Release()
{
    if (Cookie == 0)
        return;
    if (ServiceThere()) {
        QDBusInterface saver(Service, Path, Service, QDBusConnection::sessionBus());
        saver.call("UnInhibit", Cookie);
    }
    Cookie = 0;
}
