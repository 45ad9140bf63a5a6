#pragma once

// The Reporter component: numbered messages from the catalog of an event source, formatted,
// recorded in $XDG_STATE_HOME/quillon/<event source>.log and shown through the display
// handler (Display.h). Plain C entry points: narrow zero-terminated texts (a null pointer
// reads as ""), 32-bit numbers. Every entry point may be called from any thread.
//
// Until a program starts reporting, reports go to the event source "AMBApps2" with
// category 1, shown on screen, and the log level is 14 (fatal, error and warning).

#include <cstdint>

namespace qln::reporter {

// Where the catalogs of an event source are registered (HKEY_LOCAL_MACHINE): this path
// followed by the event source name, with the values below.
inline constexpr const char* kEventLogKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
inline constexpr const char* kEventMessageFile = "EventMessageFile";
inline constexpr const char* kCategoryMessageFile = "CategoryMessageFile";
inline constexpr const char* kDefaultEventSource = "AMBApps2";

} // namespace qln::reporter

extern "C" {

// Sets the message types that are recorded: a bitwise OR of 2 (fatal), 4 (error), 8 (warning)
// and 16 (information). Display does not depend on it.
void SetLogLevel(std::int32_t level);

// Starts reporting for the process under the event source eventSource + version (e.g.
// "AMBApps" and 2 give "AMBApps2"), whose registered catalogs give the texts, with the
// category of the calling program. Returns 1, or 0 when the event source is empty or its
// log folder cannot be created.
std::int32_t InitMsgReportingVers(const char* eventSource, std::int32_t version, std::int32_t category);
// As InitMsgReportingVers for unattended use: nothing is shown, questions take their default.
std::int32_t InitBatchMsgReportingVers(const char* eventSource, std::int32_t version, std::int32_t category);

// Reports catalog message msgId with insertCount inserts given as "|a|b|c" (at most 99 are
// read, as texts can name no more): records it when the log level admits its type and shows
// it unless destination is 0 (gmrLOG). A message missing from the catalog is recorded with
// its id and inserts.
void ReportSimpleMessage(std::int32_t type, std::int32_t destination, const char* procedure,
                         std::int32_t msgId, std::int32_t insertCount, const char* inserts);
// As ReportSimpleMessage, with a system error number and its description.
void ReportSimpleSysMessage2(std::int32_t type, std::int32_t destination, const char* procedure,
                             std::int32_t msgId, std::int32_t insertCount, const char* inserts,
                             std::int32_t sysErrNum, const char* sysErrDescription);
// As ReportSimpleMessage, with a system error number only.
void ReportSimpleSysMessage(std::int32_t type, std::int32_t destination, const char* procedure,
                            std::int32_t msgId, std::int32_t insertCount, const char* inserts,
                            std::int32_t sysErrNum);
// The vector entries: the inserts as an array of insertCount texts.
void ReportMessageVector(std::int32_t type, std::int32_t destination, const char* procedure,
                         std::int32_t msgId, std::int32_t insertCount, const char* const* inserts);
void ReportSysMessageVector(std::int32_t type, std::int32_t destination, const char* procedure,
                            std::int32_t msgId, std::int32_t insertCount, const char* const* inserts,
                            std::int32_t sysErrNum);

// Asks catalog message msgId as a question titled title with the buttons of promptType
// (1 OK/Cancel, 2 Abort/Retry/Cancel, 3 Yes/No/Cancel, 4 Yes/No, 5 Retry/Cancel; any other
// value OK only) and returns the button chosen (1 OK, 2 Cancel, 3 Abort, 4 Retry, 6 Yes,
// 7 No). Without a display the first button is the answer. Questions are not recorded.
std::int32_t SimpleMessagePrompt(std::int32_t promptType, const char* title, std::int32_t msgId,
                                 std::int32_t insertCount, const char* inserts);

// Shows a plain text (not from the catalog) as a box with the buttons of promptType
// (0 for OK only) and returns the button chosen, as SimpleMessagePrompt does.
std::int32_t ReporterMessageBox(const char* title, const char* text, std::int32_t promptType);

} // extern "C"
