// A shared library opened at run time, closed with the object.
#ifndef TARNWICK_DRIVERS_SHARED_LIBRARY_H_
#define TARNWICK_DRIVERS_SHARED_LIBRARY_H_

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::drivers {

// The libraries to try, in order: explicitPath if given, else the one the
// environment variable names, else the usual names. A library the engineer
// named is the only one tried: falling back to another driver behind their
// back would be a surprise on a bench.
std::vector<std::string> LibraryCandidates(const std::string& explicitPath, const char* envVariable,
                                           std::vector<std::string> usualNames);

// The last sentence of a message about a library that cannot be loaded: how
// to name another, or to go on without one.
std::string LibraryWaysOut(std::string_view library, std::string_view option,
                           std::string_view envVariable);

class SharedLibrary {
 public:
  // Not open when the system refuses; error() then has its words (on
  // Windows its text and number, without the path, which the caller names).
  explicit SharedLibrary(const std::string& path);
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  bool is_open() const { return handle_ != nullptr; }
  const std::string& error() const { return error_; }
  // The function's address, or nullptr when the library has none by that name.
  template <typename Fn>
  Fn Function(const char* name) const {
    return reinterpret_cast<Fn>(Symbol(name));
  }

 private:
  void* Symbol(const char* name) const;

  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace tarnwick::drivers

#endif  // TARNWICK_DRIVERS_SHARED_LIBRARY_H_
