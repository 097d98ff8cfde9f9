// The record the sample product's stand-in programs leave of each start, for tests to read.
#pragma once

#include <string>
#include <vector>

namespace OnduSample {

// Folder of the record: $ONDU_STANDIN_LOG_DIR when set (tests point it at a scratch
// folder), otherwise the folder of the running executable. Ends with a separator.
std::string StartLogFolder();

// One record line: UTC time (ISO 8601), a tab, the executable's path, a tab, and the
// arguments after the program, joined the way the Windows command line writes them.
std::string FormatStartLine(const std::string& exePath, const std::vector<std::string>& args);

// The current time in UTC, ISO 8601 to the second ("2026-12-09T23:18:19Z").
std::string UtcTimeStamp();

// Appends line (with its own line end) to StartLogFolder() + logName. Returns 0, or 1 after
// printing the reason to standard error.
int AppendRecordLine(const std::string& logName, const std::string& line);

// Appends the line for this process to StartLogFolder() + logName. Returns 0, or 1 after
// printing the reason to standard error when the record cannot be written.
int RecordStart(const std::string& logName);

} // namespace OnduSample
