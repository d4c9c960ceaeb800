#include "ui/history_view.h"

#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>

#include "ui/run_summary_view.h"

namespace tarnwick::ui {

HistoryView::HistoryView(std::function<ResultStore*()> store, QWidget* parent)
    : QWidget(parent), store_(std::move(store)) {
  new QVBoxLayout(this);
  layout()->setContentsMargins(0, 0, 0, 0);
}

void HistoryView::Open() {
  if (table_ == nullptr) {
    table_ = MakeRunTable(model_, this);
    table_->setObjectName(QStringLiteral("history"));
    layout()->addWidget(table_);
    // Selecting a run, by mouse or by keys, shows it.
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& index) {
              if (index.isValid()) Choose(model_.IdAt(index.row()));
            });
  }
  if (stale_) Load();
}

void HistoryView::RunRecorded() {
  stale_ = true;
  if (table_ != nullptr && table_->isVisible()) Load();
}

void HistoryView::Load() {
  stale_ = false;
  table_->setToolTip(model_.Load(store_()));
  // Fit the columns to the rows in view alone: each verdict read costs.
  table_->horizontalHeader()->setResizeContentsPrecision(0);
  table_->resizeColumnsToContents();
}

void HistoryView::Choose(std::int64_t id) {
  ResultStore* store = store_();
  std::optional<RunRecord> run;
  try {
    if (store != nullptr) run = store->LoadRun(id);
  } catch (const JournalError&) {
  }
  if (run) emit RunChosen(*run);
}

}  // namespace tarnwick::ui
