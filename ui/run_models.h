// The models behind the window's added area: the table of one run, and the
// journal's earlier runs.
#ifndef TARNWICK_UI_RUN_MODELS_H_
#define TARNWICK_UI_RUN_MODELS_H_

#include <cstdint>
#include <optional>
#include <vector>

#include <QAbstractTableModel>

#include "journal/result_store.h"
#include "results/verdicts.h"

namespace tarnwick::ui {

// One run's segments, a row each, read-only. A failing row says FAIL in its
// verdict column and is tinted, so neither colour nor text alone carries it.
class RunTableModel : public QAbstractTableModel {
 public:
  // The run to show (null: none); it must outlive the showing. Rows follow
  // its segments as SegmentAdded reports them.
  void Show(const RunRecord* run);
  void SegmentAdded();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const RunRecord* run_ = nullptr;
  std::vector<TableRow> rows_;
};

// Runs from the journal, newest first: when it started (local time),
// carrier, plan or band, outcome and verdict. The newest runs are read
// first and older ones as the view scrolls to them; the verdict needs a
// run's segments, so it is read only for the rows that are shown, and kept.
class HistoryModel : public QAbstractTableModel {
 public:
  // Reads the newest runs anew from store (null: there is no journal); the
  // problem, or empty.
  QString Load(ResultStore* store);
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;
  std::int64_t IdAt(int row) const { return runs_.at(static_cast<std::size_t>(row)).id; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const RunVerdict& VerdictAt(std::size_t row) const;

  ResultStore* store_ = nullptr;
  std::size_t asked_ = 0;  // how many of the newest runs were asked for
  bool more_ = false;      // whether the journal holds older runs still
  std::vector<RunRecord> runs_;
  mutable std::vector<std::optional<RunVerdict>> verdicts_;
};

}  // namespace tarnwick::ui

#endif  // TARNWICK_UI_RUN_MODELS_H_
