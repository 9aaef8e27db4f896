// The start-up check that the media framework is recent enough and has the
// plugins the program builds its pipelines from.
#pragma once

#include <QString>
#include <QStringList>

struct TVersionGate
{
    int Major = 0, Minor = 0, Micro = 0;
    QStringList MissingElements;

    bool Passed() const;
    // The message shown when the check fails, or empty.
    QString Message() const;
};

// Reads the running GStreamer version and looks up the required elements.
TVersionGate CheckMediaFramework();

// Elements every pipeline of the program may need.
const QStringList &RequiredElements();
