// A private PostgreSQL server for a test: a cluster of its own in a
// temporary folder, listening only on a Unix socket in that folder, so that
// tests running at once never meet and no other server is touched. The
// cluster is copied from one made by initdb once per test program. As root
// (CI), the server runs as the postgres user the Debian package creates,
// since initdb refuses root.
//
// Its superuser is "tarnwick", trusted over the socket; every other role
// logs in with its password (scram-sha-256).
#ifndef TARNWICK_TESTS_SUPPORT_PG_SERVER_H_
#define TARNWICK_TESTS_SUPPORT_PG_SERVER_H_

#include <filesystem>
#include <string>
#include <vector>

namespace tarnwick::testing {

class PgServer {
 public:
  PgServer();  // started; a failure fails the test and throws
  ~PgServer();
  PgServer(const PgServer&) = delete;
  PgServer& operator=(const PgServer&) = delete;

  // A conninfo reaching database as user.
  std::string Conninfo(const std::string& database, const std::string& user = "tarnwick") const;
  // Runs sql as the superuser; the rows, a line each, columns joined by '|'.
  // A refused statement fails the test.
  std::string Sql(const std::string& database, const std::string& sql) const;

  void Start();
  void Stop();
  // kill -9 of the postmaster, as a crash leaves it.
  void Kill();

 private:
  std::filesystem::path dir_;
};

}  // namespace tarnwick::testing

#endif  // TARNWICK_TESTS_SUPPORT_PG_SERVER_H_
