#include <string>

#include "journal/store_table.h"
#include "text/small_file.h"

namespace tarnwick {

std::string DefaultJournalPath() {
  const auto folder = UserFolder("LOCALAPPDATA", "XDG_DATA_HOME", ".local/share");
  return folder ? (*folder / "results.sqlite").string() : "";
}

}  // namespace tarnwick
