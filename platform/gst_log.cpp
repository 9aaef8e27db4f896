#include "platform/gst_log.h"

#include <mutex>

#include <gst/gst.h>

#include "platform/log.h"

namespace {

// Runs on whatever thread logs; Qt's logging is thread-safe.
void LogToQt(GstDebugCategory *category, GstDebugLevel level, const gchar *, const gchar *function,
             gint, GObject *object, GstDebugMessage *message, gpointer)
{
    const char *text = gst_debug_message_get(message);
    const char *name = object && GST_IS_OBJECT(object) ? GST_OBJECT_NAME(object) : "";
    if (level <= GST_LEVEL_WARNING)
        qCWarning(lcGst, "%s %s %s: %s", gst_debug_category_get_name(category), name ? name : "",
                  function, text);
    else
        qCDebug(lcGst, "%s %s %s: %s", gst_debug_category_get_name(category), name ? name : "",
                function, text);
}

} // namespace

void BridgeGstLogging()
{
    static std::once_flag once;
    std::call_once(once, [] {
        gst_debug_remove_log_function(gst_debug_log_default);
        gst_debug_add_log_function(LogToQt, nullptr, nullptr);
        // Without GST_DEBUG, warnings and errors of the elements still reach
        // the log when the category is on.
        if (!qEnvironmentVariableIsSet("GST_DEBUG") && lcGst().isWarningEnabled())
            gst_debug_set_default_threshold(GST_LEVEL_WARNING);
    });
}
