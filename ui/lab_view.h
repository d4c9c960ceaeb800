// The lab this bench forwards its runs to: a field for its address,
// remembered for the next start and for tarnwick-cli, and a line saying how
// many runs wait and how the last try went. Runs go from a thread of the
// forwarder's own, at start, after each run and every minute while some
// wait, so the window never waits for the lab.
#ifndef TARNWICK_UI_LAB_VIEW_H_
#define TARNWICK_UI_LAB_VIEW_H_

#include <chrono>
#include <memory>
#include <string>

#include <QWidget>

#include "lab/background_forwarder.h"

class QLabel;
class QLineEdit;

namespace tarnwick::ui {

// How often the window tries again while runs wait.
inline constexpr std::chrono::seconds kLabRetry{60};

class LabView : public QWidget {
  Q_OBJECT

 public:
  // journal: the bench's journal (empty: none is kept, and nothing is
  // forwarded); given: the lab from the command line, else the one
  // remembered in settingsPath; retry: how often to try again.
  LabView(std::string journal, const std::string& given, std::string settingsPath,
          QWidget* parent, std::chrono::milliseconds retry = kLabRetry);
  ~LabView() override;

  // The lab runs go to; empty: none.
  const std::string& Address() const { return address_; }
  // A run has been journaled: it goes now.
  void RunEnded();

 signals:
  // The operator chose another lab, or none.
  void AddressChanged();

 private:
  void Edited();
  // A forwarder for the address, which tries at once.
  void Forward();
  void Told(const lab::ForwardOutcome& outcome);

  std::string journal_;
  std::string settings_path_;
  std::chrono::milliseconds retry_;
  std::string address_;
  QLineEdit* field_;
  QLabel* line_;
  std::unique_ptr<lab::BackgroundForwarder> forwarder_;
};

}  // namespace tarnwick::ui

#endif  // TARNWICK_UI_LAB_VIEW_H_
