#include "platform/log.h"

Q_LOGGING_CATEGORY(lcApp, "lyra.app", QtWarningMsg)
Q_LOGGING_CATEGORY(lcUi, "lyra.ui", QtWarningMsg)
Q_LOGGING_CATEGORY(lcGst, "lyra.gst", QtWarningMsg)
Q_LOGGING_CATEGORY(lcV4l2, "lyra.v4l2", QtWarningMsg)
Q_LOGGING_CATEGORY(lcAlsa, "lyra.alsa", QtWarningMsg)
Q_LOGGING_CATEGORY(lcFiles, "lyra.files", QtWarningMsg)
Q_LOGGING_CATEGORY(lcPlayback, "lyra.playback", QtWarningMsg)
