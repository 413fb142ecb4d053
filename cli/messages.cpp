#include "cli/messages.h"

#include "cli/exit_codes.h"
#include "cli/input_file.h"
#include "cli/output_folder.h"
#include "cli/progress_bar.h"
#include "core/platform/file_io.h"
#include "core/texts/user_texts.h"

#include <cstdio>
#include <iostream>
#include <new>

namespace tabrino::cli {

namespace {

std::string prefix = std::string(kProgramName) + ": ";
bool reported = false;
bool standardOutputReserved = false;

// A failure's reason as printed: the system's words in UTF-8 (as the console
// is set to show), else the program's own.
std::string reasonOf(const TabrinoError& error) {
  return error.code() ? errorText(error.code()) : error.ownReason();
}

}  // namespace

void setCommandName(const std::string& command) { prefix = std::string(kProgramName) + " " + command + ": "; }
const std::string& messagePrefix() { return prefix; }
bool failureReported() { return reported; }

std::ostream& statusOut() { return standardOutputReserved ? std::cerr : std::cout; }
void reserveStandardOutput() { standardOutputReserved = true; }

std::string counted(std::uint64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

int runGuarded(ProgressBar& progress, int failureStatus, const char* tooLarge, const std::function<int()>& work) {
  try {
    return work();
  } catch (const UnsafeLinkError& error) {
    // Refused as a risky output is, whenever it is found.
    progress.finish();
    printError(std::cerr, error);
    reported = true;
    return kUsage;
  } catch (const StandardOutputError& error) {
    progress.finish();
    std::cerr << prefix << "could not write to standard output: " << reasonOf(error) << "\n";
  } catch (const TabrinoError& error) {
    progress.finish();
    printError(std::cerr, error);
  } catch (const std::bad_alloc&) {
    progress.finish();
    std::cerr << prefix << "Out of memory: " << tooLarge << "\n";
  }
  reported = true;
  return failureStatus;
}

void printError(std::ostream& out, const TabrinoError& error) {
  out << prefix << error.messageText();
  if (const std::string reason = reasonOf(error); !reason.empty()) out << ": " << reason;
  out << "\n";
}

std::unique_ptr<ByteSource> openDatabase(const std::string& argument) {
  std::optional<InputFile> input;
  openInput(input, argument);
  return input->database();
}

std::string sourceName(const std::string& argument) {
  return isStandardStream(argument) ? "standard input" : argument;
}

std::string importFailureText(const ImportResult& result, const std::string& list, std::string_view firstBytes) {
  if (result.outcome == ImportOutcome::WrongHeader) {
    const std::string hint = otherSeparatorText(firstBytes);
    return notACameraListText(list) + (hint.empty() ? "" : "\n" + hint);
  }
  return std::string(result.messageText()) + " : " + list + ": " + result.systemReason();
}

void printImportFailure(std::ostream& out, const ImportResult& result, const std::string& list,
                        std::string_view firstBytes) {
  out << prefix << importFailureText(result, list, firstBytes) << "\n";
}

void printProblems(std::ostream& out, const DatabaseInspection& report) {
  for (const InspectionProblem& problem : report.problems) {
    char offset[48];
    std::snprintf(offset, sizeof offset, "  offset %llu (0x%llX): ",
                  static_cast<unsigned long long>(problem.offset), static_cast<unsigned long long>(problem.offset));
    out << offset << problem.text << "\n";
  }
  if (report.unlistedProblems) {
    out << "  and " << report.unlistedProblems << " more problems with records, not listed\n";
  }
}

}  // namespace tabrino::cli
