#include "ui/spectrum_view.h"

#include <QPainter>

#include "report/spectrum_painter.h"

namespace tarnwick::ui {

SpectrumView::SpectrumView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("spectrum"));
  setMinimumHeight(160);
}

void SpectrumView::Show(const RunRecord* run, FreqSegments plan) {
  run_ = run;
  plan_ = std::move(plan);
  update();
}

void SpectrumView::paintEvent(QPaintEvent*) {
  // Nothing to draw before the first run; and the window starts sooner.
  if (run_ == nullptr || run_->started.empty()) return;
  QPainter painter(this);
  report::PaintSpectrum(painter, rect(), *run_, plan_);
}

}  // namespace tarnwick::ui
