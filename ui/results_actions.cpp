// The window's additions for keeping results: saving the box, exporting the
// session's runs, the title's progress and verdict, and the band buttons'
// Tab focus.
#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTimer>

#include <utility>

#include "journal/export.h"
#include "journal/journal_files.h"
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
  UpdateTitle({});
}

void Form1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Again once the window system has put its frame around the window.
  if (!std::exchange(shown_, true)) QTimer::singleShot(0, this, [this] { KeepOnScreen(*this); });
}

void Form1::UpdateTitle(const QString& state) {
  QString title = QString::fromUtf8(kProductName);
  if (!state.isEmpty()) title += QStringLiteral(" — ") + state;
  // A simulated result must never pass for a real one.
  if (simulated_) title += QStringLiteral(" (simulated analyser)");
  setWindowTitle(title);
}

void Form1::SegmentStarting(std::size_t index, std::size_t count, double, double) {
  UpdateTitle(tr("segment %1 of %2").arg(index + 1).arg(count));
}

void Form1::SetJournal(RunJournal& journal) {
  journal_ = &journal;
  exportAction->setEnabled(true);
}

QString Form1::SaveResultsTo(const QString& path) const {
  return SaveFileAtomically(path, SavedResults(txtRslt->toPlainText(), simulated_));
}

QString Form1::ExportSessionTo(const QString& path) const {
  ResultStore* store = journal_ != nullptr ? journal_->store() : nullptr;
  if (store == nullptr) return tr("No journal is being written: there is nothing to export.");
  const std::string clash = ClashWithJournal(journal_->path(), path.toStdString());
  if (!clash.empty()) return QString::fromStdString(clash);
  std::vector<RunRecord> runs;
  try {
    for (std::int64_t id : journal_->recorded()) {
      if (std::optional<RunRecord> run = store->LoadRun(id)) runs.push_back(std::move(*run));
    }
  } catch (const JournalError& e) {
    return QString::fromStdString(e.what());
  }
  const std::string csv = CsvExport(runs);
  return SaveFileAtomically(path, QByteArray(csv.data(), static_cast<qsizetype>(csv.size())));
}

void Form1::SaveResultsAs() {
  const QString path = QFileDialog::getSaveFileName(this, tr("Save results as"), QString(),
                                                    tr("Text files (*.txt);;All files (*)"));
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
