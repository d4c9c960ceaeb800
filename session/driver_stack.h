// The driver a run reaches its analyser through, with its trace when one is
// wanted, as the driver options ask for it.
#ifndef TARNWICK_SESSION_DRIVER_STACK_H_
#define TARNWICK_SESSION_DRIVER_STACK_H_

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "analyser/dialect.h"
#include "bus/analyzer_address.h"
#include "bus/gpib_driver.h"
#include "bus/platform.h"

namespace tarnwick {

struct ResourceForm;

struct DriverOptions {
  bool simulate = false;    // the resource SIM::INSTR
  std::string simScene;     // empty: the built-in scene
  std::string gpibLibrary;  // empty: environment, then the usual names
  std::string traceFile;    // empty: no trace; "-": stderr
  std::string resource;     // empty: the default, GPIB0::8::INSTR
  std::string backend = "auto";  // "visa": every resource through VISA
  std::string visaLibrary;  // empty: environment, then the usual names
  std::string dialect{kBuiltinDialect};  // the language the analyser is spoken to in
};

class DriverStack {
 public:
  // Throws sim::SceneError for a broken scene file, drivers::ResourceError for
  // a resource no driver serves (or a scene for one that is not simulated)
  // and std::runtime_error for a trace file that cannot be opened.
  DriverStack(const DriverOptions& options, Platform& platform);
  // A stack over a driver wired elsewhere, which must outlive it; bench is
  // what the journal records.
  DriverStack(GpibDriver& driver, std::string bench, bool simulated);
  ~DriverStack();

  GpibDriver& driver() { return *top_; }
  bool simulated() const { return simulated_; }
  bool traces_to_stderr() const;
  // Whether a write to the trace has failed.
  bool trace_failed() const;
  // Where runs find the analyser; its name is empty for the default resource,
  // so messages keep naming it GPIB0::8.
  const AnalyzerAddress& address() const { return address_; }
  // What the journal records as the bench: "simulated (scene)", or the
  // resource and what served it ("GPIB0::8::INSTR via GPIB driver library
  // libgpib.so.0").
  std::string BenchText() const;
  // Has a simulated analyser speak the dialect's language from now on; a
  // real one speaks what it speaks.
  void SpeakDialect(std::string_view dialect);

 private:
  std::unique_ptr<GpibDriver> base_;  // null over a driver wired elsewhere
  std::unique_ptr<GpibDriver> trace_;
  GpibDriver* top_ = nullptr;
  std::FILE* trace_file_ = nullptr;
  const ResourceForm* form_ = nullptr;
  bool simulated_ = false;
  AnalyzerAddress address_;
  std::string bench_;  // "simulated (scene)", or what a wired driver is called
};

}  // namespace tarnwick

#endif  // TARNWICK_SESSION_DRIVER_STACK_H_
