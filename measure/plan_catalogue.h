// Where plans are found: built in, then the user's plan folder, then the
// installed share/tarnwick/plans. A name found in more than one place stands
// for the first.
#ifndef TARNWICK_MEASURE_PLAN_CATALOGUE_H_
#define TARNWICK_MEASURE_PLAN_CATALOGUE_H_

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "measure/plan_file.h"

namespace tarnwick {

struct PlanEntry {
  TestPlan plan;
  // Empty when the plan's name stands for this plan; else the source of the
  // plan it stands for.
  std::string hiddenBy;
};

struct PlanCatalogue {
  // The built-in plans, then each folder's *.toml files by file name.
  std::vector<PlanEntry> entries;
  // Files that could not be read or used, each as PlanError's what() says.
  std::vector<std::string> problems;

  // The plan a name stands for; null when there is none.
  const TestPlan* Find(std::string_view name) const;
};

// The folders searched after the built-in plans, in order:
// $XDG_CONFIG_HOME/tarnwick/plans (~/.config when unset; %APPDATA%\Tarnwick\plans
// on Windows), then share/tarnwick/plans beside the program's bin folder.
std::vector<std::filesystem::path> PlanFolders();

// Reads every plan of the folders (a folder that does not exist holds none).
PlanCatalogue LoadPlanCatalogue(const std::vector<std::filesystem::path>& folders = PlanFolders());

// Whether a --plan text names a file rather than a plan: it holds a path
// separator or ends in ".toml".
bool NamesPlanFile(std::string_view text);

// The plan a --plan text stands for: a plan file, or the plan of that name
// (a built-in one without reading any folder). Throws PlanError.
TestPlan ChoosePlan(std::string_view nameOrFile,
                    const std::vector<std::filesystem::path>& folders = PlanFolders());

}  // namespace tarnwick

#endif  // TARNWICK_MEASURE_PLAN_CATALOGUE_H_
