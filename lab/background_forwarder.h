// Forwarding as the programs do it: on a thread of its own, so that no run
// ever waits for the lab. A try is made when the forwarder starts (the
// program's start) and whenever Poke asks (after each run); while runs wait,
// the window tries again every retry interval. What each try did reaches
// the program through told, called on the forwarding thread.
#ifndef TARNWICK_LAB_BACKGROUND_FORWARDER_H_
#define TARNWICK_LAB_BACKGROUND_FORWARDER_H_

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "lab/lab_forwarder.h"

namespace tarnwick::lab {

class BackgroundForwarder {
 public:
  using Told = std::function<void(const ForwardOutcome& outcome, bool firstFailure)>;

  // journal: the bench's journal; lab: where it forwards. firstFailure is
  // true for the first try of this forwarder that leaves runs waiting for
  // a reason, so that an unreachable lab is said once. retry: none
  // (zero) tries only when asked.
  BackgroundForwarder(std::string journal, std::string lab, Told told,
                      std::chrono::milliseconds retry = std::chrono::milliseconds(0));
  // Stops (the try in progress ends after its batch, or its connect) and
  // waits for the thread.
  ~BackgroundForwarder();

  BackgroundForwarder(const BackgroundForwarder&) = delete;
  BackgroundForwarder& operator=(const BackgroundForwarder&) = delete;

  // Asks for one more try, after the one in progress.
  void Poke();
  // Waits until every try asked for has been made, or stop says so (asked
  // every 100 ms); a program calls it before it ends, so that the try
  // after its last run is made.
  void Finish(const std::function<bool()>& stop = {});

 private:
  void Loop();

  LabForwarder forwarder_;
  Told told_;
  std::chrono::milliseconds retry_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool asked_ = true;  // the try at start
  bool busy_ = false;
  bool stopping_ = false;
  bool said_failure_ = false;
  std::thread thread_;  // last: it starts once the rest is ready
};

}  // namespace tarnwick::lab

#endif  // TARNWICK_LAB_BACKGROUND_FORWARDER_H_
