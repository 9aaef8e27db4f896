// A warning presenter that keeps what it was asked to show, for tests that
// check the messages an engine gives.
#pragma once

#include <QStringList>

#include "platform/messages.h"

class TRecordingPresenter : public IWarningPresenter
{
public:
    void Present(const QStringList &lines) override { Shown << lines.join('\n'); }
    void Close() override {}
    QStringList Shown;
};
