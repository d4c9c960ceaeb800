#include "session/journal_reader.h"

#include "journal/sqlite_store.h"

namespace tarnwick {

std::unique_ptr<ResultStore> OpenJournalReader(const std::string& address) {
  return std::make_unique<SqliteStore>(address, JournalAccess::kRead);
}

}  // namespace tarnwick
