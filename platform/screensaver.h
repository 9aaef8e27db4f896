// Keeps the screen saver and display power-off away while the program runs,
// through the desktop's org.freedesktop.ScreenSaver service on the session
// bus. Without a session bus or the service nothing happens.
#pragma once

#include <cstdint>

#include <QString>

class TScreenSaverGuard
{
public:
    ~TScreenSaverGuard() { Release(); }

    // True when the desktop accepted the request.
    bool Inhibit(const QString &application, const QString &reason);
    void Release();
    bool Active() const { return Cookie != 0; }

private:
    uint32_t Cookie = 0;
};
