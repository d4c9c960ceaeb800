#include "text/small_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <fmt/format.h>

#include "text/quote.h"

namespace tarnwick {

SmallFile ReadSmallFile(const std::string& path, std::size_t maxBytes) {
  SmallFile file;
  std::error_code ignored;
  // A directory opens as a stream on some systems and only fails to read.
  if (std::filesystem::is_directory(path, ignored)) {
    file.problem = "it is a directory";
    return file;
  }
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    file.problem = errno != 0 ? std::strerror(errno) : "cannot open it";
    return file;
  }
  file.text.resize(maxBytes + 1);
  in.read(file.text.data(), static_cast<std::streamsize>(file.text.size()));
  if (in.bad()) {
    file.text.clear();
    file.problem = "a read failed";
    return file;
  }
  file.text.resize(static_cast<std::size_t>(in.gcount()));
  file.tooLarge = file.text.size() > maxBytes;
  return file;
}

std::string SmallFile::Refusal(std::string_view kind, const std::string& path) const {
  if (!problem.empty()) {
    return fmt::format("Cannot read the {} {}: {}", kind, QuotedForMessage(path, kQuotedPathLength),
                       problem);
  }
  if (tooLarge) {
    return fmt::format("The {} {} is over 1 MB: not a {}", kind,
                       QuotedForMessage(path, kQuotedPathLength), kind);
  }
  return "";
}

}  // namespace tarnwick
