// Journal addresses to stores. Every kind of journal is one row of one
// table: the form of its address, how to read it, and the opener that gives
// its store. Every program and command that records or reads runs opens its
// journal here, so that a new kind of store is a new row, in files of its
// own, and no command changes. The lab journal (PostgreSQL:
// postgresql://..., postgres://..., or a libpq conninfo such as
// service=tarnwick or host=... dbname=...) is such a row, tried before the
// plain path, which takes whatever no other row claims.
#ifndef TARNWICK_JOURNAL_STORE_TABLE_H_
#define TARNWICK_JOURNAL_STORE_TABLE_H_

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "journal/result_store.h"

namespace tarnwick {

struct StoreForm;

struct StoreAddress {
  std::string text;                 // as given
  const StoreForm* form = nullptr;  // the row that reads it
  // The journal's file on this machine, which outputs must never replace;
  // empty for a store that keeps none here.
  std::string file;
};

struct StoreForm {
  std::string_view pattern;  // "sqlite:PATH"
  std::string_view serves;   // what it opens, for the list of forms
  // Fills address when text has this form. Returns false when it is not this
  // form at all; throws JournalAddressError when it is, but is wrong.
  bool (*read)(std::string_view text, StoreAddress& address);
  // Throws JournalError; for reading, JournalAddressError when there is no
  // journal there.
  std::unique_ptr<ResultStore> (*open)(const StoreAddress& address, JournalAccess access);
};

// The lab's row needs the PostgreSQL client, which only the programs link:
// a program installs its check and opener once, at start. Until then a lab
// address is still told apart from a path, and refused as one this program
// cannot open.
struct LabStoreHooks {
  // Why text, a lab address, cannot be used (a password in it); empty when it can.
  std::string (*problem)(std::string_view text) = nullptr;
  std::unique_ptr<ResultStore> (*open)(const StoreAddress& address, JournalAccess access) = nullptr;
};
void InstallLabStore(const LabStoreHooks& hooks);

// Every form, in the order they are tried.
std::span<const StoreForm> StoreForms();

// Reads a journal's address. Throws JournalAddressError, saying why and
// listing the forms, for one no row accepts.
StoreAddress ParseStoreAddress(std::string_view text);

// Opens the store a parsed address names. Throws JournalError.
std::unique_ptr<ResultStore> OpenStore(const StoreAddress& address, JournalAccess access);

// The journal's default place: $XDG_DATA_HOME/tarnwick/results.sqlite
// (~/.local/share when unset), %LOCALAPPDATA%\Tarnwick\results.sqlite on
// Windows. Empty when neither the variable nor a home folder is known.
std::string DefaultJournalPath();

}  // namespace tarnwick

#endif  // TARNWICK_JOURNAL_STORE_TABLE_H_
