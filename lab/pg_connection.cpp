#include "lab/pg_connection.h"

#include <fmt/format.h>
#include <libpq-fe.h>

#include "text/quote.h"

namespace tarnwick::lab {

void PgResult::Free::operator()(pg_result* r) const { PQclear(r); }
int PgResult::Rows() const { return PQntuples(result_.get()); }
bool PgResult::IsNull(int row, int column) const {
  return PQgetisnull(result_.get(), row, column) != 0;
}
std::string PgResult::Text(int row, int column) const {
  return std::string(PQgetvalue(result_.get(), row, column),
                     static_cast<std::size_t>(PQgetlength(result_.get(), row, column)));
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
  conn_ = PQconnectdb(conninfo.c_str());
  if (PQstatus(conn_) != CONNECTION_OK) {
    const JournalError error(fmt::format("could not connect to the lab {}: {}", shown_,
                                         FirstLine(PQerrorMessage(conn_))));
    PQfinish(conn_);
    conn_ = nullptr;
    throw error;
  }
  // Texts are sent and read as UTF-8 whatever the server's locale.
  PQsetClientEncoding(conn_, "UTF8");
}

PgConnection::~PgConnection() { PQfinish(conn_); }

JournalError PgConnection::Error(std::string_view doing, const pg_result* result) const {
  const char* words = result != nullptr ? PQresultErrorMessage(result) : "";
  if (words == nullptr || *words == '\0') words = PQerrorMessage(conn_);
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
  pg_result* result = PQexecParams(conn_, sql, static_cast<int>(p.values.size()), nullptr,
                                   p.values.data(), nullptr, nullptr, 0);
  const ExecStatusType status = PQresultStatus(result);  // fatal for null: out of memory
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    const JournalError error = Error(doing, result);
    PQclear(result);
    throw error;
  }
  return PgResult(result);
}

void PgConnection::ExecScript(std::string_view doing, const char* sql) {
  pg_result* result = PQexec(conn_, sql);
  const ExecStatusType status = PQresultStatus(result);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    const JournalError error = Error(doing, result);
    PQclear(result);
    throw error;
  }
  PQclear(result);
}

void PgConnection::Send(std::string_view doing, const char* sql, const std::vector<PgParam>& params) {
  const Params p(params);
  if (PQsendQueryParams(conn_, sql, static_cast<int>(p.values.size()), nullptr, p.values.data(),
                        nullptr, nullptr, 0) == 0 ||
      PQsetSingleRowMode(conn_) == 0) {
    throw Error(doing);
  }
}

PgResult PgConnection::NextRow(std::string_view doing) {
  pg_result* result = PQgetResult(conn_);
  if (result == nullptr) return PgResult();
  const ExecStatusType status = PQresultStatus(result);
  if (status == PGRES_SINGLE_TUPLE) return PgResult(result);
  if (status == PGRES_TUPLES_OK) {
    PQclear(result);
    // The end of the rows; the end of the results follows.
    while (pg_result* rest = PQgetResult(conn_)) PQclear(rest);
    return PgResult();
  }
  const JournalError error = Error(doing, result);
  PQclear(result);
  while (pg_result* rest = PQgetResult(conn_)) PQclear(rest);
  throw error;
}

void PgConnection::CancelAndDrain() {
  if (PGcancel* cancel = PQgetCancel(conn_)) {
    char ignored[256];
    PQcancel(cancel, ignored, sizeof ignored);
    PQfreeCancel(cancel);
  }
  while (pg_result* rest = PQgetResult(conn_)) PQclear(rest);
}

}  // namespace tarnwick::lab
