#include "ui/limits_and_report.h"

#include <QAction>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/window_settings.h"

namespace tarnwick::ui {

LimitsAndReport::LimitsAndReport(QWidget* parent) : QWidget(parent) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  label_ = new QLabel(this);
  label_->setWordWrap(true);
  column->addWidget(label_);
  auto* limitsRow = new QHBoxLayout;
  open_ = new QPushButton(tr("Open limits…"), this);
  open_->setObjectName(QStringLiteral("openLimits"));
  none_ = new QPushButton(tr("No limits"), this);
  none_->setObjectName(QStringLiteral("noLimits"));
  limitsRow->addWidget(open_);
  limitsRow->addWidget(none_);
  limitsRow->addStretch(1);
  column->addLayout(limitsRow);
  connect(open_, &QPushButton::clicked, this, &LimitsAndReport::OpenLimitsFile);
  connect(none_, &QPushButton::clicked, this, &LimitsAndReport::UseNoLimits);

  choosers_ = new QHBoxLayout;
  column->addLayout(choosers_);

  actions_ = new QHBoxLayout;
  auto* copy = new QPushButton(tr("Copy table"), this);
  copy->setObjectName(QStringLiteral("copyTable"));
  auto* report = new QPushButton(tr("Save report…"), this);
  actions_->addWidget(copy);
  actions_->addWidget(report);
  actions_->addStretch(1);
  column->addLayout(actions_);
  column->addStretch(1);
  connect(copy, &QPushButton::clicked, this, &LimitsAndReport::CopyTable);
  connect(report, &QPushButton::clicked, this, &LimitsAndReport::SaveReport);
  UseLimits({});
}

void LimitsAndReport::UseLimits(LimitTable limits) {
  limits_ = std::move(limits);
  label_->setText(limits_.empty()
                      ? tr("Limits for the next runs: none")
                      : tr("Limits for the next runs: %1").arg(QString::fromStdString(limits_.source())));
}

QString LimitsAndReport::UseLimitsFile(const QString& path) {
  try {
    UseLimits(LimitTable::Load(path.toStdString()));
  } catch (const LimitsError& e) {
    return QString::fromStdString(e.what());
  }
  if (settings_ != nullptr) settings_->SetLimitsFile(path);
  return {};
}

void LimitsAndReport::UseNoLimits() {
  UseLimits({});
  if (settings_ != nullptr) settings_->SetLimitsFile({});
}

void LimitsAndReport::SetRunning(bool running) {
  open_->setEnabled(!running);
  none_->setEnabled(!running);
}

void LimitsAndReport::AddChooser(const QString& label, QWidget* chooser, int stretch) {
  auto* caption = new QLabel(label, this);
  caption->setBuddy(chooser);
  choosers_->addWidget(caption);
  choosers_->addWidget(chooser, stretch);
}

void LimitsAndReport::AddAction(QAction* action) {
  auto* button = new QPushButton(action->text(), this);
  connect(button, &QPushButton::clicked, action, &QAction::trigger);
  actions_->insertWidget(0, button);
}

void LimitsAndReport::OpenLimitsFile() {
  const QString path = QFileDialog::getOpenFileName(
      this, tr("Open limits"), QString(), tr("Limits files (*.txt *.limits);;All files (*)"));
  if (path.isEmpty()) return;
  if (const QString problem = UseLimitsFile(path); !problem.isEmpty()) {
    QMessageBox::warning(this, window()->windowTitle(),
                         tr("Cannot use these limits: %1").arg(problem));
  }
}

}  // namespace tarnwick::ui
