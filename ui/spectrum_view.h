// The picture of the run shown: each segment's peak over the plan's span,
// the limits, the carrier's notch, painted anew from the run's record.
#ifndef TARNWICK_UI_SPECTRUM_VIEW_H_
#define TARNWICK_UI_SPECTRUM_VIEW_H_

#include <QWidget>

#include "measure/segment_plan.h"
#include "results/run_record.h"

namespace tarnwick::ui {

class SpectrumView : public QWidget {
 public:
  explicit SpectrumView(QWidget* parent);

  // Paints run, which must outlive the showing; plan is the segments of
  // its plan when they are known, which gives the picture its span.
  void Show(const RunRecord* run, FreqSegments plan);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const RunRecord* run_ = nullptr;
  FreqSegments plan_;
};

}  // namespace tarnwick::ui

#endif  // TARNWICK_UI_SPECTRUM_VIEW_H_
