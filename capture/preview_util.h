// Shared by the preview builders: messages that respect Quiet, and filters
// found by friendly name.
#pragma once

#include "capture/capture_info.h"
#include "platform/filter_registry.h"
#include "platform/log.h"
#include "platform/messages.h"

inline void PreviewWarn(const TCaptureInfo &engine, int number)
{
    if (!engine.Quiet)
        ShowWarning(number);
    else
        qCWarning(lcApp) << "preview: message" << number << "(quiet)";
}

inline void PreviewWarnText(const TCaptureInfo &engine, const QString &text)
{
    if (!engine.Quiet)
        ShowWarningText(text);
    else
        qCWarning(lcApp) << "preview:" << text << "(quiet)";
}

inline TFilterPtr FindPreviewFilter(const TCaptureInfo &engine, const QString &name)
{
    return engine.FindFilter ? engine.FindFilter(name) : CreateRegisteredFilter(name);
}
