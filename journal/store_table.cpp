#include "journal/store_table.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstddef>

#include <fmt/format.h>

#include "journal/sqlite_store.h"
#include "text/quote.h"

namespace tarnwick {
namespace {

constexpr std::string_view kSqliteScheme = "sqlite:";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// scheme://..., with a scheme of two characters or more, so that a Windows
// drive (C://data) stays a path.
bool LooksLikeUrl(std::string_view text) {
  const std::size_t end = text.find("://");
  return end != std::string_view::npos && end >= 2 &&
         std::isalpha(static_cast<unsigned char>(text[0])) &&
         std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(end), [](char c) {
           return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
         });
}

// sqlite:PATH
bool ReadSqlite(std::string_view text, StoreAddress& address) {
  if (!StartsWithNoCase(text, kSqliteScheme)) return false;
  address.file = text.substr(kSqliteScheme.size());
  if (address.file.empty()) throw JournalAddressError("sqlite:PATH needs the journal's path");
  return true;
}

// PATH: whatever is not another kind's URL. An address no row knows is
// refused rather than made a file of that name.
bool ReadPath(std::string_view text, StoreAddress& address) {
  if (LooksLikeUrl(text)) return false;
  address.file = text;
  return true;
}

// postgresql://..., postgres://..., or a libpq conninfo: key=value pairs,
// the first key a plain word (service=tarnwick, host=lab dbname=tarnwick).
bool LooksLikeLab(std::string_view text) {
  if (StartsWithNoCase(text, "postgresql://") || StartsWithNoCase(text, "postgres://")) return true;
  const std::size_t key = text.find_first_not_of(" \t");
  if (key == std::string_view::npos) return false;
  std::size_t end = key;
  while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) ++end;
  const std::size_t equals = text.find_first_not_of(" \t", end);
  return end > key && std::isalpha(static_cast<unsigned char>(text[key])) &&
         equals != std::string_view::npos && text[equals] == '=';
}

LabStoreHooks& Lab() {
  static LabStoreHooks hooks;
  return hooks;
}

bool ReadLab(std::string_view text, StoreAddress& address) {
  if (!LooksLikeLab(text)) return false;
  if (Lab().problem != nullptr) {
    if (std::string problem = Lab().problem(text); !problem.empty()) throw JournalAddressError(problem);
  }
  address.file.clear();
  return true;
}

std::unique_ptr<ResultStore> OpenLab(const StoreAddress& address, JournalAccess access) {
  if (Lab().open == nullptr) throw JournalAddressError("this program cannot open a lab journal");
  return Lab().open(address, access);
}

std::unique_ptr<ResultStore> OpenSqlite(const StoreAddress& address, JournalAccess access) {
  return std::make_unique<SqliteStore>(address.file, access);
}

constexpr std::array<StoreForm, 3> kForms = {{
    {"sqlite:PATH", "the SQLite journal in the file PATH", ReadSqlite, OpenSqlite},
    {"postgresql://...", "the lab journal in PostgreSQL, for reading: also postgres://... or a "
                         "libpq conninfo (service=tarnwick, host=... dbname=...)", ReadLab, OpenLab},
    {"PATH", "a path alone: the same, as sqlite:PATH", ReadPath, OpenSqlite},
}};

std::string FormList() {
  std::string list = "Accepted forms:";
  for (const StoreForm& form : kForms) list += fmt::format("\n  {:<16} {}", form.pattern, form.serves);
  return list;
}

}  // namespace

std::span<const StoreForm> StoreForms() { return kForms; }

void InstallLabStore(const LabStoreHooks& hooks) { Lab() = hooks; }

StoreAddress ParseStoreAddress(std::string_view text) {
  StoreAddress address;
  address.text = text;
  const std::string shown = QuotedForMessage(text, kQuotedPathLength);
  try {
    for (const StoreForm& form : kForms) {
      if (form.read(text, address)) {
        address.form = &form;
        return address;
      }
    }
  } catch (const JournalAddressError& e) {
    throw JournalAddressError(
        fmt::format("cannot use the journal address {}: {}.\n{}", shown, e.what(), FormList()));
  }
  throw JournalAddressError(fmt::format("cannot use the journal address {}.\n{}", shown, FormList()));
}

std::unique_ptr<ResultStore> OpenStore(const StoreAddress& address, JournalAccess access) {
  return address.form->open(address, access);
}

}  // namespace tarnwick
