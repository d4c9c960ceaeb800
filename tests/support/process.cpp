#include "tests/support/process.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <process.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tarnwick::testing {
namespace {

#ifdef _WIN32
// cmd.exe hands the line to the program, whose C runtime splits it at
// blanks outside double quotes; a quote inside is written \".
std::string Quote(const std::string& arg) {
  std::string q = "\"";
  for (char c : arg) {
    if (c == '"') q += '\\';
    q += c;
  }
  return q + "\"";
}
int ExitStatus(int raw) { return raw; }
int ProcessId() { return _getpid(); }
#else
std::string Quote(const std::string& arg) {
  std::string q = "'";
  for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}
int ExitStatus(int raw) { return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1; }
int ProcessId() { return static_cast<int>(getpid()); }
#endif

}  // namespace

void SetEnv(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
  _putenv_s(name.c_str(), value ? value->c_str() : "");
#else
  if (value) setenv(name.c_str(), value->c_str(), 1);
  else unsetenv(name.c_str());
#endif
}

std::filesystem::path TestDir() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "test";
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  const auto dir = std::filesystem::temp_directory_path() /
                   ("tarnwick-" + name + "-" + std::to_string(ProcessId()));
  // Process ids come round again: what an earlier process of the same id
  // left is cleared at this test's first call.
  static std::string cleared;
  if (cleared != name) {
    cleared = name;
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
  std::filesystem::create_directories(dir);
  return dir;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> ReadLines(std::FILE* file) {
  std::rewind(file);
  std::vector<std::string> lines;
  char buf[512];
  while (std::fgets(buf, sizeof buf, file) != nullptr) {
    std::string line(buf);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<EnvChange>& env) {
  const auto dir = TestDir();
  const auto out = dir / "stdout", err = dir / "stderr";
  std::string command = Quote(program);
  for (const std::string& a : args) command += " " + Quote(a);
  command += " >" + Quote(out.string()) + " 2>" + Quote(err.string());
#ifdef _WIN32
  command = "\"" + command + " <NUL\"";  // cmd /c strips one outer pair of quotes
#else
  command += " </dev/null";
#endif
  // The child inherits this process's environment: change it around the call.
  std::vector<EnvChange> saved;
  for (const auto& [name, value] : env) {
    const char* old = std::getenv(name.c_str());
    saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    SetEnv(name, value);
  }
  ProcessResult r;
  r.status = ExitStatus(std::system(command.c_str()));
  for (const auto& [name, value] : saved) SetEnv(name, value);
  r.out = ReadFile(out);
  r.err = ReadFile(err);
  return r;
}

}  // namespace tarnwick::testing
