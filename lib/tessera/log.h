// The debug hook: lines for the application's log callback, when it set one.
#ifndef TESSERA_LOG_H
#define TESSERA_LOG_H

namespace vant {

// True when a log callback is set; lets callers skip building a line.
bool logging();
// Formats one line and hands it to the log callback, if one is set.
void logLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace vant

#endif // TESSERA_LOG_H
