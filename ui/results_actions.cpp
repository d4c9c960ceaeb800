// The window's additions: the added area and its arrangement, saving the
// box, exporting the session's runs, and the band buttons' Tab focus.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QDate>
#include <QFileDialog>
#include <QGridLayout>
#include <QMenu>
#include <QMessageBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>

#include <utility>

#include "journal/export.h"
#include "journal/journal_files.h"
#include "ui/added_area.h"
#include "ui/plan_chooser.h"
#include "ui/main_window.h"
#include "ui/results_box.h"
#include "version.h"

namespace tarnwick::ui {

void Form1::SetUpResultActions() {
  saveAction = new QAction(tr("Save results as…"), this);
  saveAction->setShortcut(QKeySequence::Save);
  saveAction->setShortcutContext(Qt::WindowShortcut);
  connect(saveAction, &QAction::triggered, this, &Form1::SaveResultsAs);
  addAction(saveAction);
  exportAction = new QAction(tr("Export runs as CSV…"), this);
  exportAction->setEnabled(false);
  connect(exportAction, &QAction::triggered, this, &Form1::ExportRunsAs);

  txtRslt->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(txtRslt, &QWidget::customContextMenuRequested, this, &Form1::ShowResultsMenu);

  // Tab enters the band group at its selected button, as in a radio group
  // anywhere else; the arrow keys still move between the two.
  auto tabToSelectedBand = [this] {
    for (QRadioButton* band : optMode) {
      band->setFocusPolicy(band->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    }
  };
  for (QRadioButton* band : optMode) connect(band, &QRadioButton::toggled, this, tabToSelectedBand);
  tabToSelectedBand();
}

void Form1::MakeAddedArea(Platform& platform) {
  area = new AddedArea(recorder_, platform, run_.SegmentList(), grid_->parentWidget());
  run_.AddObserver(*area);  // for progress
  recorder_.AddListener(*area);
  connect(area->stopButton, &QPushButton::clicked, this, [this] {
    if (running_) stop_requested_ = true;
  });
  auto* saveResults = new QPushButton(saveAction->text(), area->controls);
  connect(saveResults, &QPushButton::clicked, saveAction, &QAction::trigger);
  area->actions->insertWidget(0, saveResults);
  // Plans other than the bands' are chosen here; the list is read once the
  // window is on the screen.
  auto* planLabel = new QLabel(tr("Plan:"), area->controls);
  planChooser = new PlanChooser(area->controls);
  planLabel->setBuddy(planChooser);
  area->choosers->addWidget(planLabel);
  area->choosers->addWidget(planChooser, 1);
  connect(planChooser, &PlanChooser::PlanChosen, this,
          [this](const std::optional<TestPlan>& plan) { SetPlan(plan); });
  // The language the analyser is spoken to in, from the next START on.
  auto* dialectLabel = new QLabel(tr("Dialect:"), area->controls);
  dialectChooser = new QComboBox(area->controls);
  dialectChooser->setObjectName(QStringLiteral("dialectChooser"));
  dialectChooser->setToolTip(tr("The analyser's command language: builtin, or scpi"));
  dialectLabel->setBuddy(dialectChooser);
  area->choosers->addWidget(dialectLabel);
  area->choosers->addWidget(dialectChooser);
  connect(dialectChooser, &QComboBox::activated, this, [this](int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < dialects_.size()) {
      ChooseDialect(dialects_[static_cast<std::size_t>(index)]->Name());
    }
  });
  // The added area and the icon come once the panel is on the screen, so
  // that the window gets there as soon as a bare one would.
  area->controls->hide();
  area->views->hide();
  const QScreen* shown = screen();
  const WindowFit fit =
      FitWindow(panel->size(), shown ? shown->availableGeometry().size() : panel->size(), {});
  Arrange(fit.below);
  resize(fit.client);
}

void Form1::ShowAddedArea() {
  if (std::exchange(area_shown_, true)) return;
  QTimer::singleShot(0, this, [this] {
    // The box is empty at first paint: its font, which means loading and
    // trying Japanese faces, can wait until the window is on the screen.
    txtRslt->setFont(ChooseResultsFont(ResultsFaces()));
    planChooser->Fill(LoadPlanCatalogue());
    area->controls->show();
    area->views->show();
    setWindowIcon(AppIcon());
  });
}

void Form1::Arrange(bool below) {
  if (below_ == below) return;
  below_ = below;
  grid_->removeWidget(panel);
  grid_->removeWidget(area->controls);
  grid_->removeWidget(area->views);
  grid_->addWidget(panel, 0, 0, Qt::AlignLeft | Qt::AlignTop);
  grid_->addWidget(area->controls, 1, 0);
  // Beside: the panel's column holds the controls under it, the views take
  // the rest. Below: one column.
  grid_->addWidget(area->views, below ? 2 : 0, below ? 0 : 1, below ? 1 : 2, 1);
  area->controls->setMaximumWidth(below ? QWIDGETSIZE_MAX : panel->width());
  grid_->setColumnStretch(1, below ? 0 : 1);
  grid_->setRowStretch(1, below ? 0 : 1);
  grid_->setRowStretch(2, below ? 1 : 0);
}

void Form1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Arrange(AddedAreaBelow(event->size().width(), panel->size()));
}

void Form1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Again once the window system has put its frame around the window.
  if (!std::exchange(shown_, true)) QTimer::singleShot(0, this, [this] { KeepOnScreen(*this); });
}

void Form1::SetJournal(RunJournal& journal) {
  journal_ = &journal;
  exportAction->setEnabled(true);
  area->SetHistorySource([this] { return journal_->store(); });
  area->SetJournalPath(journal.path());
}

void Form1::SetSettings(WindowSettings& settings) { area->SetSettings(settings); }

QString Form1::SaveResultsTo(const QString& path) const {
  const QByteArray text = SavedResults(txtRslt->toPlainText(), simulated_);
  return QString::fromStdString(WriteOutput(journal_ != nullptr ? journal_->path() : "",
                                            path.toStdString(),
                                            {text.constData(), static_cast<std::size_t>(text.size())}));
}

QString Form1::ExportSessionTo(const QString& path) const {
  ResultStore* store = journal_ != nullptr ? journal_->store() : nullptr;
  if (store == nullptr) return tr("No journal is being written: there is nothing to export.");
  const std::string refusal = OutputRefusal(journal_->path(), path.toStdString());
  if (!refusal.empty()) return QString::fromStdString(refusal);
  std::vector<RunRecord> runs;
  try {
    for (std::int64_t id : journal_->recorded()) {
      if (std::optional<RunRecord> run = store->LoadRun(id)) runs.push_back(std::move(*run));
    }
  } catch (const JournalError& e) {
    return QString::fromStdString(e.what());
  }
  const std::string csv = CsvExport(runs);
  return QString::fromStdString(WriteOutput(journal_->path(), path.toStdString(), csv));
}

void Form1::SaveResultsAs() {
  const QString band = optMode[0]->isChecked() ? optMode[0]->text() : optMode[1]->text();
  const QString path = AskSavePath(
      this, tr("Save results as"),
      SuggestedFileName(txtCarr->text(), band, QDate::currentDate().toString(Qt::ISODate),
                        QStringLiteral("txt")),
      tr("Text files (*.txt);;All files (*)"), QStringLiteral("txt"));
  if (path.isEmpty()) return;
  if (const QString problem = SaveResultsTo(path); !problem.isEmpty()) {
    QMessageBox::warning(this, windowTitle(), tr("Cannot save the results: %1").arg(problem));
  }
}

void Form1::ExportRunsAs() {
  const QString path = QFileDialog::getSaveFileName(this, tr("Export runs as CSV"), QString(),
                                                    tr("CSV files (*.csv);;All files (*)"));
  if (path.isEmpty()) return;
  if (const QString problem = ExportSessionTo(path); !problem.isEmpty()) {
    QMessageBox::warning(this, windowTitle(), tr("Cannot export the runs: %1").arg(problem));
  }
}

void Form1::ShowResultsMenu(const QPoint& at) {
  QMenu* menu = txtRslt->createStandardContextMenu(at);
  menu->addSeparator();
  menu->addAction(saveAction);
  menu->addAction(exportAction);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(txtRslt->viewport()->mapToGlobal(at));
}

}  // namespace tarnwick::ui
