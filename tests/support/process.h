// Runs a program as a user would, on Linux and Windows alike: arguments
// quoted for the platform's shell, extra environment, standard output and
// error captured in files of the calling test's own, so tests can run in
// parallel.
#ifndef TARNWICK_TESTS_SUPPORT_PROCESS_H_
#define TARNWICK_TESTS_SUPPORT_PROCESS_H_

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick::testing {

struct ProcessResult {
  int status = -1;  // exit status; -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// A variable to set (a value) or remove (nullopt) for the child only.
using EnvChange = std::pair<std::string, std::optional<std::string>>;

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<EnvChange>& env = {});

// A directory for this test alone: named after the running test and the
// process, created on first use.
std::filesystem::path TestDir();

// Sets or removes a variable of this process.
void SetEnv(const std::string& name, const std::optional<std::string>& value);

std::string ReadFile(const std::filesystem::path& path);

// The lines of an open file from its start, without their line breaks.
std::vector<std::string> ReadLines(std::FILE* file);

}  // namespace tarnwick::testing

#endif  // TARNWICK_TESTS_SUPPORT_PROCESS_H_
