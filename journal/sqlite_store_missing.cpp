// The journal of a build made without SQLite (the MinGW cross build: Debian
// has no SQLite for it). Opening says so, and the programs measure without a
// journal, as they do when one cannot be opened.
#include "journal/sqlite_store.h"

namespace tarnwick {
namespace {

[[noreturn]] void NoSqlite() {
  throw JournalError("this build of Tarnwick keeps no journal: it was made without SQLite");
}

}  // namespace

class SqliteStore::Statement {};

SqliteStore::SqliteStore(const std::string& path, JournalAccess) : path_(path) { NoSqlite(); }
SqliteStore::~SqliteStore() = default;
std::int64_t SqliteStore::BeginRun(const RunRecord&) { NoSqlite(); }
void SqliteStore::PlanRun(std::int64_t, const RunPlan&) { NoSqlite(); }
void SqliteStore::AddSegment(std::int64_t, const SegmentRecord&) { NoSqlite(); }
void SqliteStore::FinishRun(std::int64_t, const RunRecord&) { NoSqlite(); }
void SqliteStore::ListRuns(std::size_t, const RunVisitor&) { NoSqlite(); }
std::optional<RunRecord> SqliteStore::LoadRun(std::int64_t) { NoSqlite(); }
void SqliteStore::EachRun(const RunVisitor&) { NoSqlite(); }
void SqliteStore::ListMatching(const RunFilter&, std::size_t, const RunVisitor&) { NoSqlite(); }
void SqliteStore::EachMatching(const RunFilter&, const RunVisitor&) { NoSqlite(); }
std::optional<std::int64_t> SqliteStore::RunIdOf(const std::string&) { NoSqlite(); }
std::string SqliteStore::Damage() { NoSqlite(); }
void SqliteStore::BackUpTo(const std::string&) { NoSqlite(); }
std::string SqliteStore::Setting(std::string_view) { NoSqlite(); }

}  // namespace tarnwick
