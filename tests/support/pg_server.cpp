#include "tests/support/pg_server.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <pwd.h>
#include <unistd.h>

#include "tests/support/process.h"

namespace tarnwick::testing {
namespace {

// The server's programs: pg_config's bindir, else the newest of Debian's.
std::string Bin(const std::string& program) {
  static const std::string dir = [] {
    const ProcessResult config = RunProcess("pg_config", {"--bindir"});
    std::string bindir = config.out.substr(0, config.out.find('\n'));
    if (config.status == 0 && std::filesystem::exists(std::filesystem::path(bindir) / "initdb")) return bindir;
    std::string best;
    std::error_code ignored;
    for (const auto& e : std::filesystem::directory_iterator("/usr/lib/postgresql", ignored)) {
      if (std::filesystem::exists(e.path() / "bin" / "initdb") && e.path().string() > best) best = e.path().string();
    }
    return (std::filesystem::path(best) / "bin").string();
  }();
  return (std::filesystem::path(dir) / program).string();
}

// Runs a program as the server's user: postgres, when this is root.
ProcessResult AsServerUser(const std::string& program, std::vector<std::string> args) {
  if (geteuid() != 0) return RunProcess(program, args);
  args.insert(args.begin(), {"-u", "postgres", "--", program});
  return RunProcess("runuser", args);
}

ProcessResult AsServer(const std::string& program, const std::vector<std::string>& args) {
  return AsServerUser(Bin(program), args);
}

void GiveToServer(const std::filesystem::path& path) {
  if (geteuid() != 0) return;
  const passwd* user = getpwnam("postgres");
  if (user == nullptr || chown(path.c_str(), user->pw_uid, user->pw_gid) != 0) {
    throw std::runtime_error("there is no postgres user to run the server as");
  }
}

std::filesystem::path NewFolder() {
  std::string name = (std::filesystem::temp_directory_path() / "tarnwick-pg-XXXXXX").string();
  if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("cannot make a folder for the server");
  GiveToServer(name);
  return name;
}

void Require(const ProcessResult& r, const char* what) {
  if (r.status != 0) {
    ADD_FAILURE() << what << ": " << r.out << r.err;
    throw std::runtime_error(what);
  }
}

// One cluster made by initdb, copied for each server.
class Template {
 public:
  Template() : dir_(NewFolder()) {
    Require(AsServer("initdb", {"-D", (dir_ / "data").string(), "-U", "tarnwick", "-A", "trust",
                                "-E", "UTF8", "--locale=C", "--no-sync"}),
            "initdb");
    const auto hba = dir_ / "data" / "pg_hba.conf";
    std::ofstream(hba) << "local all tarnwick trust\nlocal all all scram-sha-256\n";
  }
  ~Template() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  std::filesystem::path data() const { return dir_ / "data"; }

 private:
  std::filesystem::path dir_;
};

}  // namespace

PgServer::PgServer() : dir_(NewFolder()) {
  static const Template cluster;
  Require(AsServerUser("cp", {"-a", cluster.data().string(), (dir_ / "data").string()}), "copying the cluster");
  Start();
}

PgServer::~PgServer() {
  AsServer("pg_ctl", {"-D", (dir_ / "data").string(), "-m", "immediate", "-w", "-s", "stop"});
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void PgServer::Start() {
  // After a kill -9 the old server's processes take a moment to notice it
  // is gone and let go of its shared memory.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (;;) {
    const ProcessResult r = AsServer(
        "pg_ctl", {"-D", (dir_ / "data").string(), "-l", (dir_ / "log").string(), "-w", "-s", "-o",
                   "-c listen_addresses= -c unix_socket_directories=" + dir_.string() +
                       " -c fsync=off -c full_page_writes=off",
                   "start"});
    if (r.status == 0 || std::chrono::steady_clock::now() > until) return Require(r, "pg_ctl start");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
}

void PgServer::Stop() {
  Require(AsServer("pg_ctl", {"-D", (dir_ / "data").string(), "-m", "fast", "-w", "-s", "stop"}),
          "pg_ctl stop");
}

void PgServer::Kill() {
  std::ifstream pidFile(dir_ / "data" / "postmaster.pid");
  pid_t pid = 0;
  ASSERT_TRUE(pidFile >> pid) << "no postmaster.pid";
  ASSERT_EQ(kill(pid, SIGKILL), 0);
  // Gone, or a zombie nobody reaps (as in a container without an init).
  for (int i = 0; i < 250 && kill(pid, 0) == 0; ++i) {
    std::ifstream stat(std::filesystem::path("/proc") / std::to_string(pid) / "stat");
    std::string text;
    std::getline(stat, text);
    if (text.size() > text.rfind(')') + 2 && text[text.rfind(')') + 2] == 'Z') break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::string PgServer::Conninfo(const std::string& database, const std::string& user) const {
  return "host=" + dir_.string() + " dbname=" + database + " user=" + user;
}

std::string PgServer::Sql(const std::string& database, const std::string& sql) const {
  PGconn* conn = PQconnectdb(Conninfo(database).c_str());
  std::string rows;
  PGresult* result = PQexec(conn, sql.c_str());
  const ExecStatusType status = PQresultStatus(result);
  if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
    ADD_FAILURE() << sql << ": " << PQerrorMessage(conn);
  }
  for (int r = 0; r < PQntuples(result); ++r) {
    for (int c = 0; c < PQnfields(result); ++c) rows += (c ? "|" : "") + std::string(PQgetvalue(result, r, c));
    rows += "\n";
  }
  PQclear(result);
  PQfinish(conn);
  return rows;
}

}  // namespace tarnwick::testing
