#include "lab/pg_connection.h"

#include <fmt/format.h>
#include "lab/libpq.h"

#include "text/quote.h"

namespace tarnwick::lab {

void PgResult::Free::operator()(pg_result* r) const { Pq().PQclear(r); }
int PgResult::Rows() const { return Pq().PQntuples(result_.get()); }
bool PgResult::IsNull(int row, int column) const {
  return Pq().PQgetisnull(result_.get(), row, column) != 0;
}
std::string PgResult::Text(int row, int column) const {
  return std::string(Pq().PQgetvalue(result_.get(), row, column),
                     static_cast<std::size_t>(Pq().PQgetlength(result_.get(), row, column)));
}

namespace {

// The server's words, on one line: libpq ends them with a line break, and
// adds more lines (DETAIL, HINT) that the first already sums up.
std::string FirstLine(const char* text) {
  std::string line = text != nullptr ? text : "";
  line = line.substr(0, line.find('\n'));
  if (line.rfind("ERROR:  ", 0) == 0) line.erase(0, 8);
  return CutForMessage(line, 400);
}

}  // namespace

PgConnection::PgConnection(const std::string& conninfo, std::string shown) : shown_(std::move(shown)) {
  conn_ = Pq().PQconnectdb(conninfo.c_str());
  if (Pq().PQstatus(conn_) != CONNECTION_OK) {
    const JournalError error(fmt::format("could not connect to the lab {}: {}", shown_,
                                         FirstLine(Pq().PQerrorMessage(conn_))));
    Pq().PQfinish(conn_);
    conn_ = nullptr;
    throw error;
  }
  // Texts are sent and read as UTF-8 whatever the server's locale.
  Pq().PQsetClientEncoding(conn_, "UTF8");
}

PgConnection::~PgConnection() { Pq().PQfinish(conn_); }

JournalError PgConnection::Error(std::string_view doing, const pg_result* result) const {
  const char* words = result != nullptr ? Pq().PQresultErrorMessage(result) : "";
  if (words == nullptr || *words == '\0') words = Pq().PQerrorMessage(conn_);
  return JournalError(fmt::format("cannot {} in the lab {}: {}", doing, shown_, FirstLine(words)));
}

namespace {

struct Params {
  std::vector<const char*> values;
  explicit Params(const std::vector<PgParam>& params) {
    for (const PgParam& p : params) values.push_back(p ? p->c_str() : nullptr);
  }
};

}  // namespace

PgResult PgConnection::Exec(std::string_view doing, const char* sql,
                            const std::vector<PgParam>& params) {
  const Params p(params);
  pg_result* result = Pq().PQexecParams(conn_, sql, static_cast<int>(p.values.size()), nullptr,
                                   p.values.data(), nullptr, nullptr, 0);
  const ExecStatusType status = Pq().PQresultStatus(result);  // fatal for null: out of memory
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    const JournalError error = Error(doing, result);
    Pq().PQclear(result);
    throw error;
  }
  return PgResult(result);
}

void PgConnection::ExecScript(std::string_view doing, const char* sql) {
  pg_result* result = Pq().PQexec(conn_, sql);
  const ExecStatusType status = Pq().PQresultStatus(result);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    const JournalError error = Error(doing, result);
    Pq().PQclear(result);
    throw error;
  }
  Pq().PQclear(result);
}

void PgConnection::Send(std::string_view doing, const char* sql, const std::vector<PgParam>& params) {
  const Params p(params);
  if (Pq().PQsendQueryParams(conn_, sql, static_cast<int>(p.values.size()), nullptr, p.values.data(),
                        nullptr, nullptr, 0) == 0 ||
      Pq().PQsetSingleRowMode(conn_) == 0) {
    throw Error(doing);
  }
}

PgResult PgConnection::NextRow(std::string_view doing) {
  pg_result* result = Pq().PQgetResult(conn_);
  if (result == nullptr) return PgResult();
  const ExecStatusType status = Pq().PQresultStatus(result);
  if (status == PGRES_SINGLE_TUPLE) return PgResult(result);
  if (status == PGRES_TUPLES_OK) {
    Pq().PQclear(result);
    // The end of the rows; the end of the results follows.
    while (pg_result* rest = Pq().PQgetResult(conn_)) Pq().PQclear(rest);
    return PgResult();
  }
  const JournalError error = Error(doing, result);
  Pq().PQclear(result);
  while (pg_result* rest = Pq().PQgetResult(conn_)) Pq().PQclear(rest);
  throw error;
}

void PgConnection::CancelAndDrain() {
  if (PGcancel* cancel = Pq().PQgetCancel(conn_)) {
    char ignored[256];
    Pq().PQcancel(cancel, ignored, sizeof ignored);
    Pq().PQfreeCancel(cancel);
  }
  while (pg_result* rest = Pq().PQgetResult(conn_)) Pq().PQclear(rest);
}

}  // namespace tarnwick::lab
