#include "ui/plan_chooser.h"

#include <QSignalBlocker>
#include <QString>

namespace tarnwick::ui {

PlanChooser::PlanChooser(QWidget* parent) : QComboBox(parent) {
  setObjectName(QStringLiteral("planChooser"));
  addItem(tr("Band buttons (%1, %2)")
              .arg(QString::fromUtf8(kBand800M), QString::fromUtf8(kBand2G)));
  setSizeAdjustPolicy(QComboBox::AdjustToContents);
  connect(this, &QComboBox::activated, this, [this](int index) {
    if (index <= 0) {
      emit PlanChosen(std::nullopt);
    } else {
      emit PlanChosen(plans_[static_cast<std::size_t>(index - 1)]);
    }
  });
}

int PlanChooser::IndexOf(const TestPlan& plan) const {
  for (std::size_t i = 0; i < plans_.size(); ++i) {
    if (plans_[i].source == plan.source && plans_[i].name == plan.name) {
      return static_cast<int>(i) + 1;
    }
  }
  return -1;
}

int PlanChooser::Add(const TestPlan& plan) {
  plans_.push_back(plan);
  addItem(QString::fromStdString(plan.name));
  const int index = count() - 1;
  QString tip = QString::fromStdString(plan.description);
  if (!tip.isEmpty()) tip += QLatin1Char('\n');
  setItemData(index, tip + QString::fromStdString(plan.source), Qt::ToolTipRole);
  return index;
}

void PlanChooser::Fill(const PlanCatalogue& catalogue) {
  const QSignalBlocker quiet(this);
  for (const PlanEntry& entry : catalogue.entries) {
    if (!entry.hiddenBy.empty() || entry.plan.source == kBuiltIn) continue;
    if (IndexOf(entry.plan) < 0) Add(entry.plan);
  }
  QString problems;
  for (const std::string& problem : catalogue.problems) {
    problems += QLatin1Char('\n') + QString::fromStdString(problem);
  }
  setToolTip(problems.isEmpty() ? tr("The plan the next runs walk")
                                : tr("The plan the next runs walk. Not usable:") + problems);
}

void PlanChooser::ShowPlan(const TestPlan* plan) {
  const QSignalBlocker quiet(this);
  if (plan == nullptr) {
    setCurrentIndex(0);
    return;
  }
  const int index = IndexOf(*plan);
  setCurrentIndex(index >= 0 ? index : Add(*plan));
}

}  // namespace tarnwick::ui
