#pragma once

// How the sample applications talk to whoever starts them (the tests, the
// benchmarks, scripts/sample-session.sh): one command per line on standard
// input, read from the GTK main loop; answers one per line on standard output.
// An application quits at the end of its input.

#include <gtk/gtk.h>

#include <cstdio>
#include <functional>
#include <string>

namespace morvel::examples {

using CommandHandler = std::function<void(const std::string& command)>;

inline void answer(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

inline gboolean readCommand(GIOChannel* channel, GIOCondition, gpointer handler) {
  gchar* raw = nullptr;
  gsize length = 0;
  const GIOStatus status = g_io_channel_read_line(channel, &raw, &length, nullptr, nullptr);
  if (status == G_IO_STATUS_EOF || status == G_IO_STATUS_ERROR) {
    g_free(raw);
    gtk_main_quit();
    return G_SOURCE_REMOVE;
  }
  std::string line = raw == nullptr ? std::string() : std::string(raw, length);
  g_free(raw);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (!line.empty()) (*static_cast<CommandHandler*>(handler))(line);
  return G_SOURCE_CONTINUE;
}

// Calls `handler` with every non-empty line of standard input, without its line
// end; `handler` must outlive the main loop.
inline void readCommandsFromStandardInput(CommandHandler& handler) {
  GIOChannel* input = g_io_channel_unix_new(0);
  g_io_add_watch(input, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR), readCommand, &handler);
  g_io_channel_unref(input);
}

}  // namespace morvel::examples
