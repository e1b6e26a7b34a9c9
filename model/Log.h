// Logging: one Qt category, "soui", and one message handler that writes every entry to stderr
// as level, source base name, line, function and text.
#pragma once

#include <QLoggingCategory>
#include <QString>

namespace velorin {

const QLoggingCategory& lcSoui();

// Levels of the program's own log entries; 0 is the most severe.
enum class LogLevel { Error = 0, Warning = 1, Info = 2, Debug = 3, Verbose = 4 };

// Entries are cut to this many characters.
inline constexpr int kMaxLogChars = 2048;

// Installs the stderr message handler for the whole process.
void installLogHandler();

// Formats one entry the way the handler writes it (without the line end).
QString formatLogEntry(QtMsgType type, const char* file, int line, const char* function, const QString& text);

// Logs with an explicit source name, line and function instead of the caller's own, when the
// category's rules let the level through.
void logAt(LogLevel level, const char* source, int line, const char* function, const QString& text);

} // namespace velorin
