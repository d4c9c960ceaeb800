// The window's additions for keeping results: saving the box, exporting the
// session's runs, and the band buttons' Tab focus.
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
#include "journal/store_table.h"
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
  exportAction->setEnabled(!request_.journal.empty());
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

std::string Form1::JournalFile() const {
  if (request_.journal.empty()) return {};
  try {
    return ParseStoreAddress(request_.journal).file;
  } catch (const JournalError&) {
    return {};  // an address no row reads keeps no file to guard
  }
}

QString Form1::SaveResultsTo(const QString& path) const {
  const QByteArray text = SavedResults(txtRslt->toPlainText(), simulated_);
  return QString::fromStdString(WriteOutput(JournalFile(), path.toStdString(),
                                            {text.constData(), static_cast<std::size_t>(text.size())}));
}

QString Form1::ExportSessionTo(const QString& path) {
  if (request_.journal.empty() || journal_failed_) {
    return tr("No journal is being written: there is nothing to export.");
  }
  const std::string refusal = OutputRefusal(JournalFile(), path.toStdString());
  if (!refusal.empty()) return QString::fromStdString(refusal);
  ResultStore* store = Reader();
  if (store == nullptr) return QString::fromStdString(reader_problem_);
  std::vector<RunRecord> runs;
  try {
    for (std::int64_t id : recorded_) {
      if (std::optional<RunRecord> run = store->LoadRun(id)) runs.push_back(std::move(*run));
    }
  } catch (const JournalError& e) {
    return QString::fromStdString(e.what());
  }
  const std::string csv = CsvExport(runs);
  return QString::fromStdString(WriteOutput(JournalFile(), path.toStdString(), csv));
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
