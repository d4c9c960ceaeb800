#include "ui/progress_view.h"

#include <algorithm>
#include <cmath>

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tarnwick::ui {
namespace {

constexpr int kTickMs = 500;

// What the progress line says: segment index (from 0) of count under way,
// the time since START, and for averaged sweeps the time still to expect,
// judged from the segments done.
QString ProgressTimes(double elapsedSeconds, std::size_t done, std::size_t count, bool averaged) {
  QString text = QStringLiteral("%1 s elapsed").arg(elapsedSeconds, 0, 'f', 1);
  // Plain sweeps take moments; an averaged one takes long enough to plan around.
  if (averaged && done > 0 && done < count) {
    const double toGo = elapsedSeconds / static_cast<double>(done) * static_cast<double>(count - done);
    text += QStringLiteral(", about %1 s to go").arg(std::ceil(toGo));
  }
  return text;
}

}  // namespace

ProgressView::ProgressView(QWidget* parent) : QWidget(parent) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  auto* state = new QHBoxLayout;
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("progress"));
  progress_->setRange(0, 1);
  progress_->setValue(0);
  progress_->setFormat(tr("No run yet"));
  stop_ = new QPushButton(tr("Stop"), this);
  stop_->setObjectName(QStringLiteral("stopButton"));
  stop_->setEnabled(false);
  state->addWidget(progress_, 1);
  state->addWidget(stop_);
  column->addLayout(state);
  elapsed_ = new QLabel(this);
  column->addWidget(elapsed_);
  connect(stop_, &QPushButton::clicked, this, &ProgressView::StopClicked);
  ticker_ = new QTimer(this);
  ticker_->setInterval(kTickMs);
  connect(ticker_, &QTimer::timeout, this, &ProgressView::Tick);
}

void ProgressView::RunStarted() {
  clock_.start();
  index_ = count_ = 0;
  averaged_ = false;
  stop_->setEnabled(true);
  progress_->setRange(0, 0);
  progress_->setFormat(tr("Starting"));
  elapsed_->clear();
  ticker_->start();
}

void ProgressView::SegmentStarting(std::size_t index, std::size_t count, bool averaged) {
  index_ = index;
  count_ = count;
  averaged_ = averaged;
  progress_->setRange(0, static_cast<int>(count));
  progress_->setValue(static_cast<int>(index));
  progress_->setFormat(tr("segment %1 of %2").arg(index + 1).arg(count));
  Tick();
}

void ProgressView::Tick() {
  elapsed_->setText(ProgressTimes(static_cast<double>(clock_.elapsed()) / 1000, index_, count_,
                                  averaged_));
}

void ProgressView::RunFinished(std::size_t measured, std::size_t planned) {
  ticker_->stop();
  stop_->setEnabled(false);
  progress_->setRange(0, std::max(static_cast<int>(planned), 1));
  progress_->setValue(static_cast<int>(measured));
  progress_->setFormat(tr("%1 of %2 segments measured").arg(measured).arg(planned));
  elapsed_->setText(tr("took %1 s").arg(static_cast<double>(clock_.elapsed()) / 1000, 0, 'f', 1));
}

}  // namespace tarnwick::ui
