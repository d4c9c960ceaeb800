#include "ui/history_view.h"

#include <QComboBox>
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

void HistoryView::OfferLab(std::function<ResultStore*(QString* why)> lab) {
  lab_ = std::move(lab);
  source_ = new QComboBox(this);
  source_->setObjectName(QStringLiteral("historySource"));
  source_->addItems({tr("This bench"), tr("Lab")});
  static_cast<QBoxLayout*>(layout())->insertWidget(0, source_, 0, Qt::AlignLeft);
  connect(source_, &QComboBox::currentIndexChanged, this, [this] {
    stale_ = true;
    if (table_ != nullptr) Load();
  });
}

void HistoryView::ShowLabChoice(bool shown) {
  if (source_ == nullptr) return;
  if (!shown) source_->setCurrentIndex(0);
  source_->setVisible(shown);
}

ResultStore* HistoryView::Chosen(QString* why) {
  if (source_ != nullptr && source_->currentIndex() == 1) return lab_(why);
  return store_();
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
  QString why;
  ResultStore* store = Chosen(&why);
  const QString problem = model_.Load(store);
  table_->setToolTip(store == nullptr && !why.isEmpty() ? why : problem);
  // Fit the columns to the rows in view alone: each verdict read costs.
  table_->horizontalHeader()->setResizeContentsPrecision(0);
  table_->resizeColumnsToContents();
}

void HistoryView::Choose(std::int64_t id) {
  ResultStore* store = Chosen(nullptr);
  std::optional<RunRecord> run;
  try {
    if (store != nullptr) run = store->LoadRun(id);
  } catch (const JournalError&) {
  }
  if (run) emit RunChosen(*run);
}

}  // namespace tarnwick::ui
