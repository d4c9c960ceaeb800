// The run under way: segment i of n, the time since START and, for averaged
// sweeps, the time still to expect; and Stop.
#ifndef TARNWICK_UI_PROGRESS_VIEW_H_
#define TARNWICK_UI_PROGRESS_VIEW_H_

#include <cstddef>

#include <QElapsedTimer>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace tarnwick::ui {

class ProgressView : public QWidget {
  Q_OBJECT

 public:
  explicit ProgressView(QWidget* parent);

  void RunStarted();
  // averaged: whether the run's sweeps are averaged, which makes the time
  // still to expect worth showing.
  void SegmentStarting(std::size_t index, std::size_t count, bool averaged);
  void RunFinished(std::size_t measured, std::size_t planned);

 signals:
  void StopClicked();

 private:
  void Tick();

  QProgressBar* progress_;
  QLabel* elapsed_;
  QPushButton* stop_;
  QTimer* ticker_;
  QElapsedTimer clock_;
  std::size_t index_ = 0, count_ = 0;
  bool averaged_ = false;
};

}  // namespace tarnwick::ui

#endif  // TARNWICK_UI_PROGRESS_VIEW_H_
