// How failures and inspection results read on a terminal.
#pragma once

#include "core/platform/byte_source.h"
#include "core/database/db_inspect.h"
#include "core/base/errors.h"
#include "core/list/text_import.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

namespace tabrino::cli {

// The name users type: on Windows the console tool is tabrino-cli.exe.
#ifdef _WIN32
inline constexpr const char* kProgramName = "tabrino-cli";
#else
inline constexpr const char* kProgramName = "tabrino";
#endif

// "tabrino convert: ": what each message of a run begins with, for the
// command set once, before it runs.
void setCommandName(const std::string& command);
const std::string& messagePrefix();

// Whether the run has already said why it failed: a failure is told once,
// not again by what follows from it (standard output found broken at the
// end, say).
bool failureReported();

// Where a command says what it did: standard output, or standard error once
// standard output carries what the command writes (-o -, --report -).
std::ostream& statusOut();
void reserveStandardOutput();

// "1 record", "2 records": a count with its noun.
std::string counted(std::uint64_t count, const char* one, const char* many);

// "tabrino COMMAND: MESSAGE: REASON" on one line.
void printError(std::ostream& out, const TabrinoError& error);

class ProgressBar;
// Runs a command's work. A failure the core reports ends as its message on
// stderr, the bar wiped first, with exit status `failureStatus`; running out
// of memory says "Out of memory: " and `tooLarge`. Both are failures
// reported.
int runGuarded(ProgressBar& progress, int failureStatus, const char* tooLarge, const std::function<int()>& work);

// A database named on the command line: a file, or standard input for "-".
// Throws FileOpenError or FileReadError.
std::unique_ptr<ByteSource> openDatabase(const std::string& argument);
// How messages name it.
std::string sourceName(const std::string& argument);
// Why a list could not be read. One that failed the header test is "LIST is
// not a camera list: ...", with a guess at why from its first bytes (another
// separator) on a line of its own; else the import's message, the list and
// the system's reason.
std::string importFailureText(const ImportResult& result, const std::string& list, std::string_view firstBytes = {});
void printImportFailure(std::ostream& out, const ImportResult& result, const std::string& list,
                        std::string_view firstBytes = {});

// One line per problem, "  offset N (0xN): TEXT", and a line for those
// not listed.
void printProblems(std::ostream& out, const DatabaseInspection& report);

}  // namespace tabrino::cli
