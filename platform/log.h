// Logging categories. Nothing is logged to a file; QT_LOGGING_RULES turns
// categories on (for example "lyra.gst.debug=true").
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcUi)
Q_DECLARE_LOGGING_CATEGORY(lcGst)
Q_DECLARE_LOGGING_CATEGORY(lcV4l2)
Q_DECLARE_LOGGING_CATEGORY(lcAlsa)
Q_DECLARE_LOGGING_CATEGORY(lcFiles)
Q_DECLARE_LOGGING_CATEGORY(lcPlayback)
