#include "lab/background_forwarder.h"

namespace tarnwick::lab {

BackgroundForwarder::BackgroundForwarder(std::string journal, std::string lab, Told told,
                                         std::chrono::milliseconds retry)
    : forwarder_(std::move(journal), std::move(lab)),
      told_(std::move(told)),
      retry_(retry),
      thread_([this] { Loop(); }) {}

BackgroundForwarder::~BackgroundForwarder() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void BackgroundForwarder::Poke() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    asked_ = true;
  }
  wake_.notify_all();
}

void BackgroundForwarder::Finish(const std::function<bool()>& stop) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!wake_.wait_for(lock, std::chrono::milliseconds(100),
                         [this] { return stopping_ || (!asked_ && !busy_); })) {
    if (stop && stop()) return;
  }
}

void BackgroundForwarder::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  bool waiting = false;  // runs were left waiting by the last try
  while (!stopping_) {
    const auto asked = [this] { return stopping_ || asked_; };
    if (waiting && retry_.count() > 0) {
      if (!wake_.wait_for(lock, retry_, asked)) asked_ = true;
    } else {
      wake_.wait(lock, asked);
    }
    if (stopping_) break;
    asked_ = false;
    busy_ = true;
    lock.unlock();
    const ForwardOutcome outcome = forwarder_.ForwardWaiting([this] {
      const std::lock_guard<std::mutex> stop(mutex_);
      return stopping_;
    });
    const bool first = !outcome.error.empty() && !said_failure_;
    said_failure_ = said_failure_ || first;
    if (told_) told_(outcome, first);
    waiting = outcome.waiting > 0;
    lock.lock();
    busy_ = false;
    wake_.notify_all();
  }
  busy_ = false;
  wake_.notify_all();
}

}  // namespace tarnwick::lab
