#include "ui/run_models.h"

#include <algorithm>

#include <QBrush>
#include <QDateTime>
#include <QFont>

#include "report/spectrum_painter.h"

namespace tarnwick::ui {
namespace {

// Enough runs to fill the view a few times over; more come on scrolling.
constexpr std::size_t kFirstRuns = 200;

QString Q(std::string_view text) { return QString::fromUtf8(text); }

}  // namespace

void RunTableModel::Show(const RunRecord* run) {
  beginResetModel();
  run_ = run;
  rows_.clear();
  if (run_ != nullptr) {
    for (const SegmentRecord& s : run_->segments) rows_.push_back(TableRowOf(s));
  }
  endResetModel();
}

void RunTableModel::SegmentAdded() {
  if (run_ == nullptr || run_->segments.size() <= rows_.size()) return;
  const int row = static_cast<int>(rows_.size());
  beginInsertRows({}, row, row);
  rows_.push_back(TableRowOf(run_->segments.back()));
  endInsertRows();
}

int RunTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RunTableModel::columnCount(const QModelIndex& parent) const {
  // No columns before the first run: there is nothing to head, and the
  // window starts sooner without measuring headers.
  const bool none = parent.isValid() || run_ == nullptr || run_->started.empty();
  return none ? 0 : static_cast<int>(kTableColumnCount);
}

QVariant RunTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || run_ == nullptr) return {};
  const auto row = static_cast<std::size_t>(index.row());
  const auto column = static_cast<std::size_t>(index.column());
  const bool fails = run_->segments.at(row).verdict.Fails();
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return Q(rows_.at(row).at(column));
    case Qt::BackgroundRole:
      return fails ? QVariant(QBrush(report::FailingRowColour())) : QVariant();
    case Qt::ForegroundRole:
      return fails && column == kVerdictColumn
                 ? QVariant(QBrush(report::VerdictColour(RunVerdict::Kind::kFail)))
                 : QVariant();
    case Qt::FontRole:
      if (fails && column == kVerdictColumn) {
        QFont bold;
        bold.setBold(true);
        return bold;
      }
      return {};
    case Qt::TextAlignmentRole:
      // The numbers line up on their decimal points.
      return column > 0 && column < kVerdictColumn
                 ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                 : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return {};
  }
}

QVariant RunTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  return Q(kTableColumns.at(static_cast<std::size_t>(section)));
}

QString HistoryModel::Load(ResultStore* store) {
  beginResetModel();
  store_ = store;
  runs_.clear();
  asked_ = kFirstRuns;
  QString problem;
  if (store_ == nullptr) {
    problem = QStringLiteral("No journal is being kept: there is no history to show.");
  } else {
    try {
      store_->ListRuns(asked_, [this](const RunRecord& run) {
        runs_.push_back(run);
        return true;
      });
    } catch (const JournalError& e) {
      problem = QString::fromStdString(e.what());
    }
  }
  more_ = runs_.size() == asked_;
  std::reverse(runs_.begin(), runs_.end());  // newest first
  verdicts_.assign(runs_.size(), std::nullopt);
  endResetModel();
  return problem;
}

bool HistoryModel::canFetchMore(const QModelIndex& parent) const { return !parent.isValid() && more_; }

void HistoryModel::fetchMore(const QModelIndex& parent) {
  if (!canFetchMore(parent) || store_ == nullptr) return;
  std::vector<RunRecord> older;
  try {
    asked_ *= 2;
    store_->ListRuns(asked_, [&older](const RunRecord& run) {
      older.push_back(run);
      return true;
    });
  } catch (const JournalError&) {
    more_ = false;
    return;
  }
  more_ = older.size() == asked_;
  // Only those older than the oldest shown: runs recorded meanwhile are newer.
  const std::int64_t oldest = runs_.empty() ? 0 : runs_.back().id;
  std::erase_if(older, [oldest](const RunRecord& r) { return oldest != 0 && r.id >= oldest; });
  if (older.empty()) return;
  const int first = static_cast<int>(runs_.size());
  beginInsertRows({}, first, first + static_cast<int>(older.size()) - 1);
  runs_.insert(runs_.end(), older.rbegin(), older.rend());
  verdicts_.resize(runs_.size());
  endInsertRows();
}

const RunVerdict& HistoryModel::VerdictAt(std::size_t row) const {
  std::optional<RunVerdict>& verdict = verdicts_.at(row);
  if (!verdict) {
    std::optional<RunRecord> run;
    try {
      if (store_ != nullptr) run = store_->LoadRun(runs_[row].id);
    } catch (const JournalError&) {
    }
    verdict = run ? VerdictOf(*run) : RunVerdict{RunVerdict::Kind::kUnjudged, "?", "cannot be read", ""};
  }
  return *verdict;
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(runs_.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 5; }

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole &&
                           role != Qt::ForegroundRole)) {
    return {};
  }
  const auto row = static_cast<std::size_t>(index.row());
  const RunRecord& run = runs_.at(row);
  if (index.column() == 4) {
    const RunVerdict& verdict = VerdictAt(row);
    if (role == Qt::ForegroundRole) return QBrush(report::VerdictColour(verdict.kind));
    return Q(role == Qt::ToolTipRole ? verdict.detail : verdict.word);
  }
  if (role == Qt::ForegroundRole) return {};
  switch (index.column()) {
    case 0: {
      const QDateTime started = QDateTime::fromString(Q(run.started), Qt::ISODateWithMs);
      return started.isValid() ? started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                               : Q(run.started);
    }
    case 1: return Q(CarrierShown(run));
    case 2: return Q(run.settings.plan);
    // A simulated run must never pass for a measurement.
    default: return Q(run.OutcomeName() + (run.simulated ? ", simulated" : ""));
  }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return static_cast<qlonglong>(IdAt(section));
  static const char* const kHeaders[] = {"Started (local time)", "Carrier", "Band or plan",
                                         "Outcome", "Verdict"};
  return QString::fromLatin1(kHeaders[section]);
}

}  // namespace tarnwick::ui
