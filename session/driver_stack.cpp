#include "session/driver_stack.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <fmt/format.h>

#include "bus/driver_trace.h"
#include "session/dialects.h"
#include "session/resources.h"
#include "text/quote.h"

namespace tarnwick {

DriverStack::DriverStack(const DriverOptions& options, Platform& platform) {
  std::string text = options.resource.empty() ? std::string(drivers::kDefaultResource)
                                              : options.resource;
  if (options.simulate) text = drivers::kSimulatedResource;
  const ParsedResource resource = ParseResource(
      text, options.backend == "visa" ? drivers::Backend::kVisa : drivers::Backend::kAuto);
  form_ = resource.form;
  simulated_ = form_->simulated;
  if (!options.simScene.empty() && !simulated_) {
    throw drivers::ResourceError(fmt::format("--sim-scene needs --simulate or the resource {}",
                                             drivers::kSimulatedResource));
  }
  base_ = MakeDriver(resource,
                     {platform, options.gpibLibrary, options.visaLibrary, options.simScene});
  SpeakDialect(options.dialect);  // the simulator answers in the language it is spoken to in
  address_ = resource.fields.address;
  if (simulated_) {
    bench_ = fmt::format("simulated ({})",
                         options.simScene.empty() ? "built-in scene" : options.simScene);
  }
  top_ = base_.get();

  if (!options.traceFile.empty()) {
    if (options.traceFile == "-") {
      trace_file_ = stderr;
    } else {
      trace_file_ = std::fopen(options.traceFile.c_str(), "a");
      if (trace_file_ == nullptr) {
        throw std::runtime_error(fmt::format("Cannot open the trace file {}: {}",
                                             QuotedForMessage(options.traceFile, kQuotedPathLength),
                                             std::strerror(errno)));
      }
    }
    trace_ = std::make_unique<DriverTrace>(*base_, platform, trace_file_);
    top_ = trace_.get();
  }
}

DriverStack::DriverStack(GpibDriver& driver, std::string bench, bool simulated)
    : top_(&driver), simulated_(simulated), bench_(std::move(bench)) {}

DriverStack::~DriverStack() {
  trace_.reset();
  if (trace_file_ != nullptr && trace_file_ != stderr) std::fclose(trace_file_);
}

bool DriverStack::traces_to_stderr() const { return trace_file_ == stderr; }

bool DriverStack::trace_failed() const {
  return trace_file_ != nullptr && std::ferror(trace_file_) != 0;
}

void DriverStack::SpeakDialect(std::string_view dialect) {
  if (base_ && form_->speak != nullptr) form_->speak(*base_, DialectNamed(dialect).simLanguage);
}

std::string DriverStack::BenchText() const {
  if (!bench_.empty() || !base_) return bench_;
  const std::string resource =
      address_.resource.empty()
          ? fmt::format("GPIB{}::{}::INSTR", address_.board, address_.pad)
          : CutForMessage(address_.resource, kQuotedPathLength);
  // The driver says what served the run (for a library: which one was
  // loaded; for an adaptor: the transport and the resource).
  const std::string driver = base_->Description();
  if (driver.empty()) return resource;
  return driver.find(resource) != std::string::npos ? driver
                                                    : fmt::format("{} via {}", resource, driver);
}

}  // namespace tarnwick
