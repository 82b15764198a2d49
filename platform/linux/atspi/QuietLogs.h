#pragma once

namespace morvel::linux_ax {

// The helper writes nothing to standard error: the messages that GLib-based
// libraries log (a bus that cannot be reached, an application that went away)
// are dropped. Called once, before any library call that might log.
void silenceLibraryLogs();

}  // namespace morvel::linux_ax
