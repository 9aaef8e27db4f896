// GStreamer's own debug output goes to the "lyra.gst" logging category, so
// one switch (QT_LOGGING_RULES) shows both. GST_DEBUG still sets the levels.
#pragma once

// Installed once by the first filter graph; safe to call again.
void BridgeGstLogging();
