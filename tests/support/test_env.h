// Every test process runs with its own home, runtime and program folder under
// a temporary directory, so no test touches the real user folders.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace TestEnv {

// The process's temporary root (removed at exit).
QString Root();

// A fresh, empty folder under Root().
QString NewFolder(const QString &hint = "dir");

// Writes bytes to a file, creating folders; returns the path.
QString WriteFile(const QString &path, const QByteArray &bytes);
QByteArray ReadFile(const QString &path);

// Turns the event loop until `done` holds or `ms` milliseconds have passed;
// whether it holds.
bool WaitUntil(const std::function<bool()> &done, int ms = 10000);

// Paths of built programs.
QString BinaryDir();
QString SourceDir();

} // namespace TestEnv
