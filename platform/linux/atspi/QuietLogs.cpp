#include "platform/linux/atspi/QuietLogs.h"

#include <glib.h>

namespace morvel::linux_ax {
namespace {

void dropMessage(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

GLogWriterOutput dropStructuredMessage(GLogLevelFlags, const GLogField*, gsize, gpointer) { return G_LOG_WRITER_HANDLED; }

}  // namespace

void silenceLibraryLogs() {
  // GLib allows its writer to be replaced only once per process.
  static const bool silenced = [] {
    g_log_set_default_handler(dropMessage, nullptr);
    g_log_set_writer_func(dropStructuredMessage, nullptr, nullptr);
    return true;
  }();
  (void)silenced;
}

}  // namespace morvel::linux_ax
