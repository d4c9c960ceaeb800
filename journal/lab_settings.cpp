#include "journal/lab_settings.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include <fmt/format.h>

#include "journal/journal_files.h"
#include "text/quote.h"
#include "text/small_file.h"
#include "text/this_machine.h"

namespace tarnwick {
namespace {

constexpr std::string_view kBlanks = " \t\r";

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

std::string LabSettingsPath() {
  const auto folder = UserFolder("APPDATA", "XDG_CONFIG_HOME", ".config");
  return folder ? (*folder / "lab.conf").string() : "";
}

LabSettings LoadLabSettings(const std::string& path, std::string* problem) {
  LabSettings settings;
  std::error_code missing;
  if (path.empty() || !std::filesystem::exists(path, missing)) return settings;
  const SmallFile file = ReadSmallFile(path);
  if (std::string refusal = file.Refusal("lab settings file", path); !refusal.empty()) {
    if (problem != nullptr) *problem = refusal;
    return settings;
  }
  std::string_view text = file.text;
  for (int line = 1; !text.empty(); ++line) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view row = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    row = Trimmed(row.substr(0, row.find('#')));
    if (row.empty()) continue;
    const std::size_t equals = row.find('=');
    const std::string_view key = Trimmed(row.substr(0, equals));
    const std::string value(Trimmed(row.substr(equals == std::string_view::npos ? row.size() : equals + 1)));
    if (equals != std::string_view::npos && key == "lab") {
      settings.lab = value;
    } else if (equals != std::string_view::npos && key == "bench") {
      settings.bench = value;
    } else if (problem != nullptr && problem->empty()) {
      *problem = fmt::format("{}:{}: {} is not \"lab = ...\" or \"bench = ...\"",
                             CutForMessage(path, kQuotedPathLength), line, QuotedForMessage(row));
    }
  }
  return settings;
}

std::string SaveLabSettings(const LabSettings& settings, const std::string& path) {
  if (path.empty()) return "there is no place for the lab settings: set HOME or XDG_CONFIG_HOME";
  // A value is one line: a line break would start a key of its own.
  for (const std::string* value : {&settings.lab, &settings.bench}) {
    if (value->find_first_of("\r\n#") != std::string::npos) {
      return fmt::format("{} cannot be remembered: it holds a line break or #",
                         QuotedForMessage(*value));
    }
  }
  std::error_code ignored;  // the file's own open says why, if it matters
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  ReplacingFile file(path);
  std::FILE* out = file.Open();
  if (out == nullptr) return fmt::format("cannot write {}", QuotedForMessage(path, kQuotedPathLength));
  const std::string text =
      fmt::format("# Tarnwick's lab; passwords go in ~/.pgpass, never here.\nlab = {}\nbench = {}\n",
                  settings.lab, settings.bench);
  std::fwrite(text.data(), 1, text.size(), out);
  return file.Commit();
}

std::string BenchName(const std::string& given, const LabSettings& settings) {
  if (!given.empty()) return given;
  return settings.bench.empty() ? HostName() : settings.bench;
}

}  // namespace tarnwick
