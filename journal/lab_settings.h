// What a bench remembers about its lab: where the lab is and the bench's
// name, kept in one small text file that tarnwick-cli and the window both
// read and write, so that neither needs the other's libraries.
//
// The file is lab.conf in $XDG_CONFIG_HOME/tarnwick (~/.config/tarnwick when
// unset), %APPDATA%\Tarnwick on Windows: one "key = value" a line, "#"
// starting a comment, keys lab and bench. Passwords never go there: libpq
// reads them from ~/.pgpass, PGPASSFILE, the service file or the
// environment.
#ifndef TARNWICK_JOURNAL_LAB_SETTINGS_H_
#define TARNWICK_JOURNAL_LAB_SETTINGS_H_

#include <string>

namespace tarnwick {

struct LabSettings {
  std::string lab;    // a libpq conninfo or postgresql:// URI; empty: no lab
  std::string bench;  // empty: the host's name
};

// The file's place; empty when the environment names no place for it.
std::string LabSettingsPath();

// The settings in path; empty ones when there is no file. An unreadable
// file or a line that is not "key = value" is a problem said in problem,
// and the rest still read.
LabSettings LoadLabSettings(const std::string& path, std::string* problem = nullptr);

// Writes settings to path whole (a new file renamed over the old); the
// problem, or empty.
std::string SaveLabSettings(const LabSettings& settings, const std::string& path);

// The bench's name: given (--bench), else the remembered one, else the
// host's name.
std::string BenchName(const std::string& given, const LabSettings& settings);

}  // namespace tarnwick

#endif  // TARNWICK_JOURNAL_LAB_SETTINGS_H_
