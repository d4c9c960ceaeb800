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

std::unique_ptr<ResultStore> OpenSqlite(const StoreAddress& address, JournalAccess access) {
  return std::make_unique<SqliteStore>(address.file, access);
}

constexpr std::array<StoreForm, 2> kForms = {{
    {"sqlite:PATH", "the SQLite journal in the file PATH", ReadSqlite, OpenSqlite},
    {"PATH", "a path alone: the same, as sqlite:PATH", ReadPath, OpenSqlite},
}};

std::string FormList() {
  std::string list = "Accepted forms:";
  for (const StoreForm& form : kForms) list += fmt::format("\n  {:<16} {}", form.pattern, form.serves);
  return list;
}

}  // namespace

std::span<const StoreForm> StoreForms() { return kForms; }

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
