#include "measure/plan_file.h"

#include <algorithm>
#include <initializer_list>

#include <fmt/format.h>
#include <toml++/toml.h>

#include "text/number_text.h"
#include "text/quote.h"
#include "text/small_file.h"

namespace tarnwick {
namespace {

constexpr std::string_view kBelowCarrier = "carrier - notch";
constexpr std::string_view kAboveCarrier = "carrier + notch";

// Reads one file's tables; every complaint names the file and a place in it.
class Reader {
 public:
  explicit Reader(const std::string& file) : file_(file) {}

  [[noreturn]] void Fail(const toml::source_position& at, std::string_view problem) const {
    throw PlanError(fmt::format("{}:{}:{}: {}", CutForMessage(file_, kQuotedPathLength), at.line,
                                at.column, problem));
  }
  [[noreturn]] void Fail(const toml::node& at, std::string_view problem) const {
    Fail(at.source().begin, problem);
  }

  // toml++ checks the syntax; the keys it leaves to us.
  void OnlyKeys(const toml::table& table, std::initializer_list<std::string_view> known,
                std::string_view where) const {
    for (auto&& [key, value] : table) {
      if (std::find(known.begin(), known.end(), key.str()) != known.end()) continue;
      std::string list;
      for (std::string_view k : known) list += (list.empty() ? "" : ", ") + std::string(k);
      Fail(key.source().begin,
           fmt::format("unknown key {}{} (known: {})", QuotedForMessage(key.str()), where, list));
    }
  }

  const toml::node& Required(const toml::table& table, std::string_view key,
                             const toml::source_position& missingAt) const {
    const toml::node* node = table.get(key);
    if (node == nullptr) Fail(missingAt, fmt::format("{} is missing", key));
    return *node;
  }
  // A number from low (or above it, when aboveLow) up to high, in unit.
  double Within(const toml::node& node, std::string_view key, double low, double high,
                std::string_view unit, bool aboveLow = false) const {
    const double value = Number(node, key);
    if (!(aboveLow ? value > low : value >= low) || !(value <= high)) {
      Fail(node, fmt::format("{} must be {} {} {} {}", key,
                             aboveLow ? "above" : "from", GeneralNumberText(low),
                             aboveLow ? "and at most" : "to",
                             GeneralNumberText(high) + " " + std::string(unit)));
    }
    return value;
  }
  double Frequency(const toml::node& node, std::string_view key) const {
    return Within(node, key, 0, kHighestPlanMHz, "MHz");
  }
  double Number(const toml::node& node, std::string_view key) const {
    double value = 0;
    if (const auto* i = node.as_integer()) {
      value = static_cast<double>(i->get());
    } else if (const auto* f = node.as_floating_point()) {
      value = f->get();
    } else {
      Fail(node, fmt::format("{} must be a number", key));
    }
    return value;
  }

  // The [[name]] tables of root, at most most of them.
  std::vector<const toml::table*> Tables(const toml::table& root, std::string_view name,
                                         std::size_t most) const {
    std::vector<const toml::table*> tables;
    const toml::node* node = root.get(name);
    if (node == nullptr) return tables;
    const toml::array* array = node->as_array();
    if (array == nullptr || !array->is_array_of_tables()) {
      Fail(*node, fmt::format("{} must be [[{}]] tables", name, name));
    }
    for (const toml::node& each : *array) {
      if (tables.size() == most) {
        Fail(each, fmt::format("a plan has at most {} [[{}]] tables", most, name));
      }
      tables.push_back(each.as_table());
    }
    return tables;
  }

  PlanEdge Edge(const toml::table& segment, std::string_view side) const {
    const std::string numberKey = fmt::format("{}_mhz", side);
    const toml::node* number = segment.get(numberKey);
    const toml::node* text = segment.get(side);
    if (number != nullptr && text != nullptr) {
      Fail(*text, fmt::format("a segment has one {0}: {0}_mhz or {0}, not both", side));
    }
    if (number != nullptr) {
      return {PlanEdge::Kind::kFixed, Frequency(*number, numberKey) * kHzPerMHz};
    }
    if (text == nullptr) {
      Fail(segment.source().begin, fmt::format("a segment needs {0}_mhz or {0}", side));
    }
    std::string compact;
    if (const auto* s = text->as_string()) {
      for (char c : s->get()) {
        if (c != ' ' && c != '\t') compact += c;
      }
    }
    if (compact == "carrier-notch") return {PlanEdge::Kind::kCarrierMinusNotch, 0};
    if (compact == "carrier+notch") return {PlanEdge::Kind::kCarrierPlusNotch, 0};
    Fail(*text, fmt::format("{} must be \"{}\" or \"{}\"", side, kBelowCarrier, kAboveCarrier));
  }

  PlanSegment Segment(const toml::table& table) const {
    OnlyKeys(table, {"start_mhz", "start", "stop_mhz", "stop"}, " in a [[segment]]");
    const PlanSegment s{Edge(table, "start"), Edge(table, "stop")};
    using Kind = PlanEdge::Kind;
    // These could never leave out a carrier: refused here rather than at
    // every START.
    if (s.start.kind == Kind::kCarrierMinusNotch) {
      Fail(*table.get("start"), fmt::format("a segment that starts at \"{}\" holds the carrier; "
                                            "a segment above the carrier starts at \"{}\"",
                                            kBelowCarrier, kAboveCarrier));
    }
    if (s.stop.kind == Kind::kCarrierPlusNotch) {
      Fail(*table.get("stop"), fmt::format("a segment that stops at \"{}\" holds the carrier; "
                                           "a segment below the carrier stops at \"{}\"",
                                           kAboveCarrier, kBelowCarrier));
    }
    if (s.start.kind != Kind::kFixed && s.stop.kind != Kind::kFixed) {
      Fail(table.source().begin, fmt::format("a segment from \"{}\" to \"{}\" runs backwards",
                                             kAboveCarrier, kBelowCarrier));
    }
    if (s.start.kind == Kind::kFixed && s.stop.kind == Kind::kFixed && !(s.start.hz < s.stop.hz)) {
      Fail(table.source().begin,
           fmt::format("the segment from {} to {} MHz must start below its stop",
                       s.start.hz / kHzPerMHz, s.stop.hz / kHzPerMHz));
    }
    return s;
  }

  LimitRow Limit(const toml::table& table) const {
    OnlyKeys(table, {"start_mhz", "stop_mhz", "dbm"}, " in a [[limit]]");
    const toml::source_position at = table.source().begin;
    const LimitRow row{Frequency(Required(table, "start_mhz", at), "start_mhz"),
                       Frequency(Required(table, "stop_mhz", at), "stop_mhz"),
                       Within(Required(table, "dbm", at), "dbm", kLowestLimitDbm,
                              kHighestLimitDbm, "dBm")};
    if (!(row.startMHz < row.stopMHz)) {
      Fail(at, fmt::format("the limit's range {} to {} MHz is empty or backwards", row.startMHz,
                           row.stopMHz));
    }
    return row;
  }

  std::string Name(const toml::table& root, const toml::source_position& top) const {
    const toml::node* node = root.get("name");
    if (node == nullptr) Fail(top, "name is missing");
    const auto* name = node->as_string();
    if (name == nullptr) Fail(*node, "name must be a text");
    const std::string& text = name->get();
    // Characters, not bytes: toml++ has checked the UTF-8, so every byte but
    // a continuation byte starts one.
    const auto characters = std::count_if(text.begin(), text.end(), [](char c) {
      return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    });
    if (characters == 0 || static_cast<std::size_t>(characters) > kMaxPlanNameLength) {
      Fail(*node, fmt::format("name must be 1 to {} characters", kMaxPlanNameLength));
    }
    // A name with a path separator could not be told from a file on --plan.
    if (std::any_of(text.begin(), text.end(), [](char c) {
          return static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == '/' || c == '\\';
        })) {
      Fail(*node, "name must hold no control characters, '/' or '\\'");
    }
    return text;
  }

 private:
  const std::string& file_;
};

}  // namespace

TestPlan ParsePlan(std::string_view text, const std::string& file) {
  const Reader r(file);
  toml::table root;
  try {
    root = toml::parse(text, file);
  } catch (const toml::parse_error& e) {
    r.Fail(e.source().begin, CutForMessage(e.description(), kQuotedPathLength));
  }
  const toml::source_position top{1, 1};
  r.OnlyKeys(root, {"name", "description", "notch_mhz", "segment", "limit"}, "");
  TestPlan plan;
  plan.name = r.Name(root, top);
  if (const toml::node* d = root.get("description")) {
    if (!d->is_string()) r.Fail(*d, "description must be a text");
    plan.description = d->as_string()->get();
  }
  plan.called = "Plan " + QuotedForMessage(plan.name);
  plan.source = file;
  plan.text = std::string(text);
  plan.notchHz = r.Within(r.Required(root, "notch_mhz", top), "notch_mhz", 0, kWidestNotchMHz,
                          "MHz", true) * kHzPerMHz;
  for (const toml::table* s : r.Tables(root, "segment", kMaxPlanSegments)) {
    plan.segments.push_back(r.Segment(*s));
  }
  if (plan.segments.empty()) {
    r.Fail(top, fmt::format("a plan needs 1 to {} [[segment]] tables", kMaxPlanSegments));
  }
  for (const toml::table* l : r.Tables(root, "limit", kMaxPlanLimits)) {
    plan.limits.push_back(r.Limit(*l));
  }
  return plan;
}

TestPlan LoadPlanFile(const std::string& path) {
  const SmallFile file = ReadSmallFile(path);
  if (std::string refusal = file.Refusal("plan file", path); !refusal.empty()) {
    throw PlanError(refusal);
  }
  return ParsePlan(file.text, path);
}

std::string PlanEdgeText(const PlanEdge& edge) {
  switch (edge.kind) {
    case PlanEdge::Kind::kCarrierMinusNotch: return std::string(kBelowCarrier);
    case PlanEdge::Kind::kCarrierPlusNotch: return std::string(kAboveCarrier);
    case PlanEdge::Kind::kFixed: break;
  }
  return GeneralNumberText(edge.hz / kHzPerMHz) + " MHz";
}

TestPlan ReadBuiltinPlan(int16_t BandIs2G) {
  const std::string_view band = BandName(BandIs2G);
  TestPlan plan = ParsePlan(BuiltinPlanText(BandIs2G), std::string(band) + ".toml");
  plan.called = fmt::format("Band {}", band);
  plan.source = kBuiltIn;
  return plan;
}

}  // namespace tarnwick
