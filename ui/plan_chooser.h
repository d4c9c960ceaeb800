// The added area's plan chooser: the band buttons' own plans first, then
// every plan found where plans are kept, by name.
#ifndef TARNWICK_UI_PLAN_CHOOSER_H_
#define TARNWICK_UI_PLAN_CHOOSER_H_

#include <optional>
#include <vector>

#include <QComboBox>

#include "measure/plan_catalogue.h"

namespace tarnwick::ui {

class PlanChooser : public QComboBox {
  Q_OBJECT

 public:
  explicit PlanChooser(QWidget* parent);

  // Lists the plans of catalogue that their names stand for, but the
  // built-in bands, which the band buttons choose. Plan files that could not
  // be used are named in the tooltip.
  void Fill(const PlanCatalogue& catalogue);
  // Shows plan as chosen (none: the band buttons), listing it if it is not
  // yet, without telling anyone.
  void ShowPlan(const TestPlan* plan);

 signals:
  // The operator chose a plan; none: the band buttons choose again.
  void PlanChosen(const std::optional<TestPlan>& plan);

 private:
  int IndexOf(const TestPlan& plan) const;
  int Add(const TestPlan& plan);

  std::vector<TestPlan> plans_;  // plans_[i] is item i + 1
};

}  // namespace tarnwick::ui

#endif  // TARNWICK_UI_PLAN_CHOOSER_H_
