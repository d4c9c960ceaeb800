#include "measure/plan_catalogue.h"

#include <algorithm>
#include <optional>
#include <system_error>

#include <fmt/format.h>

#include "text/quote.h"
#include "text/small_file.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

// A plan folder is a handful of files; beyond this it is something else.
constexpr std::size_t kMaxPlanFilesPerFolder = 256;
constexpr std::string_view kPlanExtension = ".toml";

// The folder's plan files by file name, so that the order does not depend
// on the file system.
std::vector<fs::path> PlanFiles(const fs::path& folder, std::vector<std::string>& problems) {
  std::vector<fs::path> files;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    // Not only regular files: one that is something else is refused by name.
    if (it->path().extension() != kPlanExtension) continue;
    if (files.size() == kMaxPlanFilesPerFolder) {
      problems.push_back(fmt::format("{}: more than {} plan files; the rest are not read",
                                     CutForMessage(folder.string(), kQuotedPathLength),
                                     kMaxPlanFilesPerFolder));
      break;
    }
    files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

const TestPlan* PlanCatalogue::Find(std::string_view name) const {
  for (const PlanEntry& e : entries) {
    if (e.plan.name == name) return &e.plan;
  }
  return nullptr;
}

std::vector<fs::path> PlanFolders() {
  std::vector<fs::path> folders;
  if (const auto user = UserFolder("APPDATA", "XDG_CONFIG_HOME", ".config")) {
    folders.push_back(*user / "plans");
  }
  if (std::optional<fs::path> bin = ExecutableFolder()) {
    folders.push_back(bin->parent_path() / "share" / "tarnwick" / "plans");
  }
  return folders;
}

PlanCatalogue LoadPlanCatalogue(const std::vector<fs::path>& folders) {
  PlanCatalogue catalogue;
  catalogue.entries = {{BuiltinPlan(0), ""}, {BuiltinPlan(1), ""}};
  for (const fs::path& folder : folders) {
    for (const fs::path& file : PlanFiles(folder, catalogue.problems)) {
      try {
        TestPlan plan = LoadPlanFile(file.string());
        const TestPlan* first = catalogue.Find(plan.name);
        catalogue.entries.push_back({std::move(plan), first ? first->source : ""});
      } catch (const PlanError& e) {
        catalogue.problems.push_back(e.what());
      }
    }
  }
  return catalogue;
}

bool NamesPlanFile(std::string_view text) {
  return text.find_first_of("/\\") != std::string_view::npos ||
         (text.size() >= kPlanExtension.size() &&
          text.substr(text.size() - kPlanExtension.size()) == kPlanExtension);
}

TestPlan ChoosePlan(std::string_view nameOrFile, const std::vector<fs::path>& folders) {
  if (NamesPlanFile(nameOrFile)) return LoadPlanFile(std::string(nameOrFile));
  for (int16_t band : {0, 1}) {
    if (nameOrFile == BandName(band)) return BuiltinPlan(band);
  }
  const PlanCatalogue catalogue = LoadPlanCatalogue(folders);
  if (const TestPlan* plan = catalogue.Find(nameOrFile)) return *plan;
  std::string names;
  for (const PlanEntry& e : catalogue.entries) {
    if (e.hiddenBy.empty()) names += (names.empty() ? "" : ", ") + e.plan.name;
  }
  std::string message = fmt::format("There is no plan named {}. The plans are: {}.",
                                    QuotedForMessage(nameOrFile), names);
  for (const std::string& problem : catalogue.problems) message += "\n" + problem;
  throw PlanError(message);
}

}  // namespace tarnwick
