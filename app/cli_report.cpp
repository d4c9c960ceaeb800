#include "app/cli_report.h"

#include <filesystem>

#include <fmt/format.h>

#include "app/cli_subcommands.h"
#include "app/journal_options.h"
#include "app/program_options.h"
#include "app/run_choice.h"
#include "drivers/shared_library.h"
#include "journal/journal_files.h"
#include "journal/store_table.h"
#include "report/run_report.h"
#include "text/quote.h"
#include "text/small_file.h"

namespace tarnwick {

void AddReportCommand(CLI::App& app, ReportCommand& report) {
  report.command = app.add_subcommand("report", "Write a run's one-page PDF report");
  report.command->add_option("RUN", report.id, "The run's id (see runs)")->required();
  report.command->add_option("-o,--output", report.output, "The PDF to write")
      ->option_text("FILE.pdf")
      ->required();
  AddReadingJournal(*report.command, report.journal, report.lab);
}

std::optional<int> RunReportCommand(const ReportCommand& report, const char* program) {
  if (!report.command->parsed()) return std::nullopt;
  auto fail = [program](int status, const std::string& text) {
    fmt::print(stderr, "{}: report: {}\n", program, text);
    return status;
  };
#ifndef TARNWICK_REPORT_MODULE
  return fail(kExitRunStopped, "unavailable: this build of Tarnwick has no Qt to write PDFs with");
#else
  std::optional<RunRecord> run;
  std::string journalFile;  // what the report must never be written over
  try {
    const StoreAddress address =
        ParseStoreAddress(ReadingJournal(report.journal, report.lab));
    // Refused before any work: a report must never land on the journal or a device.
    journalFile = address.file;
    if (const std::string refusal = OutputRefusal(journalFile, report.output); !refusal.empty()) {
      return fail(kExitUsage, refusal);
    }
    run = OpenStore(address, JournalAccess::kRead)->LoadRun(report.id);
  } catch (const JournalAddressError& e) {
    return fail(kExitUsage, e.what());
  } catch (const JournalError& e) {
    return fail(kExitRunStopped, e.what());
  }
  if (!run) return fail(kExitUsage, fmt::format("the journal holds no run {}", report.id));
  // Found by its path beside the program, or where it is installed, rather
  // than through the program's search path, which a sanitizer's own dlopen
  // does not use. Kept loaded to the end: Qt is not made to be unloaded.
  std::string file = TARNWICK_REPORT_MODULE;
  std::error_code error;
  if (const std::optional<std::filesystem::path> folder = ExecutableFolder()) {
    for (const std::filesystem::path& place :
         {*folder / TARNWICK_REPORT_MODULE, *folder / ".." / TARNWICK_INSTALL_LIBDIR / "tarnwick" / TARNWICK_REPORT_MODULE}) {
      if (std::filesystem::exists(place, error)) {
        file = place.string();
        break;
      }
    }
  }
  static const drivers::SharedLibrary* module = new drivers::SharedLibrary(file);
  const auto make = module->is_open()
                        ? module->Function<report::ReportPdfFunction>(report::kReportPdfSymbol)
                        : nullptr;
  if (make == nullptr) {
    return fail(kExitRunStopped,
                fmt::format("unavailable: cannot load {}: {}", TARNWICK_REPORT_MODULE,
                            module->is_open() ? "it is not the report module" : module->error()));
  }
  std::string pdf, problem;
  if (!make(*run, pdf, problem)) {
    return fail(kExitRunStopped, fmt::format("cannot write {}: {}",
                                             QuotedForMessage(report.output, kQuotedPathLength), problem));
  }
  if (problem = WriteOutput(journalFile, report.output, pdf); !problem.empty()) {
    return fail(kExitRunStopped, problem);
  }
  return kExitOk;
#endif
}

}  // namespace tarnwick
