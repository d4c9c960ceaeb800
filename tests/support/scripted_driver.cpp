#include "tests/support/scripted_driver.h"

#include <algorithm>
#include <cstring>
#include <string>

#include <fmt/format.h>

namespace tarnwick::testing {

int ScriptedDriver::RegisterGpibGlobalsForThread(int32_t* sta, int32_t* err,
                                                 int32_t* cnt, int32_t* cntl) {
  calls.emplace_back("Register");
  int result = 0;
  if (!registrationResults.empty()) {
    result = registrationResults.front();
    registrationResults.pop_front();
  }
  if (result == 0 || result == 1) {
    StatusWordDriver::UnregisterGpibGlobalsForThread();
    StatusWordDriver::RegisterGpibGlobalsForThread(sta, err, cnt, cntl);
  }
  return result;
}

int ScriptedDriver::UnregisterGpibGlobalsForThread() {
  calls.emplace_back("Unregister");
  return StatusWordDriver::UnregisterGpibGlobalsForThread();
}

int ScriptedDriver::ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
  calls.push_back(fmt::format("ibdev({}, {}, {}, {}, {}, {})", board, pad, sad, tmo, eot, eos));
  Finish(descriptor < 0 ? kStatusErr : kStatusCmpl, descriptor < 0 ? EDVR : 0, 0);
  return descriptor;
}

int ScriptedDriver::ibonl(int ud, int v) {
  calls.push_back("ibonl(" + std::to_string(ud) + ", " + std::to_string(v) + ")");
  const int32_t status = onlineError ? kStatusErr | kStatusCmpl : kStatusCmpl;
  Finish(status, onlineError.value_or(idleError), 0);
  return status;
}

int ScriptedDriver::ibwrt(int /*ud*/, const void* buf, long cnt) {
  last_write_.assign(static_cast<const char*>(buf), static_cast<std::size_t>(cnt));
  calls.push_back("ibwrt " + last_write_);
  writes.push_back(last_write_);
  if (writeFailure) {
    if (auto error = writeFailure(last_write_)) {
      Finish(kStatusErr | kStatusCmpl, *error, 0);
      return kStatusErr | kStatusCmpl;
    }
  }
  Finish(kStatusCmpl, idleError, static_cast<int32_t>(cnt));
  return kStatusCmpl;
}

int ScriptedDriver::ibrd(int ud, void* buf, long cnt) {
  calls.push_back("ibrd(" + std::to_string(ud) + ", " + std::to_string(cnt) + ")");
  std::optional<std::string> reply;
  if (responder) reply = responder(last_write_);
  if (!reply) {
    Finish(kStatusErr | kStatusTimo | kStatusCmpl, EABO, 0);
    return kStatusErr | kStatusTimo | kStatusCmpl;
  }
  const std::size_t n = std::min(reply->size(), static_cast<std::size_t>(cnt));
  std::memcpy(buf, reply->data(), n);
  // END goes with the reply's last byte, which a short buffer does not reach.
  const int32_t status = (n == reply->size() ? kStatusEnd : 0) | kStatusCmpl;
  Finish(status, idleError, static_cast<int32_t>(n));
  return status;
}

std::string ScriptedDriver::LastNumberAfter(std::string_view prefix) const {
  for (auto it = writes.rbegin(); it != writes.rend(); ++it) {
    const std::size_t end = it->find_first_not_of("0123456789.", prefix.size());
    if (it->starts_with(prefix)) return it->substr(prefix.size(), end - prefix.size());
  }
  return "0";
}

}  // namespace tarnwick::testing
