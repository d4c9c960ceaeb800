// A small RAII wrapper over libpq: one connection, statements with
// parameters only (no value is ever spliced into SQL text), results freed
// on every path, and every failure a JournalError naming the lab and
// carrying the server's own words.
#ifndef TARNWICK_LAB_PG_CONNECTION_H_
#define TARNWICK_LAB_PG_CONNECTION_H_

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "journal/result_store.h"

struct pg_conn;
struct pg_result;

namespace tarnwick::lab {

// A parameter: text, or NULL.
using PgParam = std::optional<std::string>;

class PgResult {
 public:
  PgResult() = default;
  explicit PgResult(pg_result* result) : result_(result) {}
  int Rows() const;
  bool IsNull(int row, int column) const;
  std::string Text(int row, int column) const;
  explicit operator bool() const { return result_ != nullptr; }

 private:
  struct Free {
    void operator()(pg_result* r) const;
  };
  std::unique_ptr<pg_result, Free> result_;
};

class PgConnection {
 public:
  // Connects; throws JournalError saying which lab and why. conninfo is as
  // given (a URI or key=value pairs); shown is how messages name the lab.
  PgConnection(const std::string& conninfo, std::string shown);
  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  // Runs one statement with its parameters, in text form; throws
  // JournalError, saying what was being done, when the server refuses it.
  PgResult Exec(std::string_view doing, const char* sql, const std::vector<PgParam>& params = {});

  // Runs statements without parameters (the schema's own text), several
  // separated by ";"; throws as Exec does.
  void ExecScript(std::string_view doing, const char* sql);

  // Streams the rows of a query one at a time (libpq's single-row mode),
  // so that memory stays flat at any size; row returns false to stop
  // early, which cancels the rest.
  template <typename Row>
  void EachRow(std::string_view doing, const char* sql, const std::vector<PgParam>& params, Row&& row);

  const std::string& shown() const { return shown_; }

 private:
  void Send(std::string_view doing, const char* sql, const std::vector<PgParam>& params);
  // The next row, or an empty result at the end; throws as Exec does.
  PgResult NextRow(std::string_view doing);
  void CancelAndDrain();
  JournalError Error(std::string_view doing, const pg_result* result = nullptr) const;

  pg_conn* conn_ = nullptr;
  std::string shown_;
};

template <typename Row>
void PgConnection::EachRow(std::string_view doing, const char* sql,
                           const std::vector<PgParam>& params, Row&& row) {
  Send(doing, sql, params);
  for (;;) {
    const PgResult next = NextRow(doing);
    if (!next) return;
    if (!row(next)) {
      CancelAndDrain();
      return;
    }
  }
}

}  // namespace tarnwick::lab

#endif  // TARNWICK_LAB_PG_CONNECTION_H_
