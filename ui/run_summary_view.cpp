#include "ui/run_summary_view.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "report/spectrum_painter.h"
#include "results/verdicts.h"

namespace tarnwick::ui {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

constexpr int kBannerPoints = 22;

}  // namespace

QTableView* MakeRunTable(QAbstractItemModel& model, QWidget* parent) {
  auto* view = new QTableView(parent);
  view->setModel(&model);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setAlternatingRowColors(true);
  view->setWordWrap(false);
  // The last column takes the rest; the others are fitted to their texts
  // as rows come (fitting them on every layout would slow the start).
  view->horizontalHeader()->setStretchLastSection(true);
  view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
  return view;
}

RunSummaryView::RunSummaryView(QWidget* parent) : QWidget(parent) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  word_ = new QLabel(this);
  word_->setObjectName(QStringLiteral("bannerWord"));
  QFont large = word_->font();
  large.setPointSize(kBannerPoints);
  large.setBold(true);
  word_->setFont(large);
  detail_ = new QLabel(this);
  detail_->setObjectName(QStringLiteral("bannerDetail"));
  detail_->setWordWrap(true);
  detail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(word_);
  column->addWidget(detail_);

  auto* viewingRow = new QHBoxLayout;
  viewing_ = new QLabel(this);
  back_ = new QPushButton(tr("Back to the current run"), this);
  back_->setObjectName(QStringLiteral("backToCurrent"));
  viewingRow->addWidget(viewing_, 1);
  viewingRow->addWidget(back_);
  column->addLayout(viewingRow);
  connect(back_, &QPushButton::clicked, this, &RunSummaryView::BackToCurrent);

  table_ = MakeRunTable(model_, this);
  table_->setObjectName(QStringLiteral("runTable"));
  column->addWidget(table_, 1);
}

void RunSummaryView::Show(const RunRecord& run, bool earlier, bool measuring) {
  run_ = &run;
  earlier_ = earlier;
  measuring_ = measuring;
  model_.Show(run_);
  if (model_.rowCount() > 0) table_->resizeColumnsToContents();
  viewing_->setVisible(earlier);
  back_->setVisible(earlier);
  if (earlier) {
    viewing_->setText(tr("Run %1 from the journal, started %2%3")
                          .arg(run.id)
                          .arg(Q(run.started))
                          .arg(run.simulated ? tr(", simulated") : QString()));
  }
  ShowBanner();
}

void RunSummaryView::Update(bool measuring) {
  measuring_ = measuring;
  const int rows = model_.rowCount();
  model_.SegmentAdded();
  if (model_.rowCount() != rows) table_->resizeColumnsToContents();
  ShowBanner();
}

void RunSummaryView::ShowBanner() {
  const RunRecord& run = *run_;
  QString word, detail, limits;
  RunVerdict::Kind kind = RunVerdict::Kind::kUnjudged;
  if (measuring_) {
    const std::size_t failures = run.Failures();
    word = tr("MEASURING");
    detail = failures == 0   ? tr("Nothing over its limit so far.")
             : failures == 1 ? tr("1 over its limit so far.")
                             : tr("%1 over their limit so far.").arg(failures);
    limits = Q(run.limits.empty() ? "No limits" : "Limits: " + run.limits);
  } else if (!earlier_ && run.started.empty()) {
    detail = tr("No run yet: press START.");
  } else {
    const RunVerdict v = VerdictOf(run);
    kind = v.kind;
    word = Q(v.word);
    detail = Q(v.detail);
    limits = Q(v.limits);
  }
  word_->setText(word);
  word_->setStyleSheet(QStringLiteral("color: %1").arg(report::VerdictColour(kind).name()));
  detail_->setText(limits.isEmpty() ? detail : detail + QLatin1Char('\n') + limits);
}

}  // namespace tarnwick::ui
