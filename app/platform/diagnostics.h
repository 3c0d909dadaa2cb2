// Lines for whoever runs the program, on standard error: "<program>: <text>", one line each.
// When standard error is the systemd journal (JOURNAL_STREAM names it), each line starts with
// its syslog priority ("<3>" error, "<4>" warning, "<6>" info), which the journal takes as the
// line's priority. OutputDebugStringW (win32.h) writes an info line.
#pragma once

#include <string>

namespace platform {

enum class LogPriority { Error = 3, Warning = 4, Info = 6 };

void LogLine(LogPriority priority, const std::string& text);

// The start line: the version, the link devices (QUELT_LINK_DEVICES) and the display in use. Said
// once the display is chosen, with the program's first top-level window; a process that never
// makes one (a second start handing over to the running panel) never says it.
void LogStart(const char* version);

}  // namespace platform
