// The run shown, in words and rows: its verdict banner, where it comes from
// when it is an earlier run, and its table.
#ifndef TARNWICK_UI_RUN_SUMMARY_VIEW_H_
#define TARNWICK_UI_RUN_SUMMARY_VIEW_H_

#include <QWidget>

#include "results/run_record.h"
#include "ui/run_models.h"

class QAbstractItemModel;
class QLabel;
class QPushButton;
class QTableView;

namespace tarnwick::ui {

// A read-only table of whole rows whose columns fit their texts as rows come.
QTableView* MakeRunTable(QAbstractItemModel& model, QWidget* parent);

class RunSummaryView : public QWidget {
  Q_OBJECT

 public:
  explicit RunSummaryView(QWidget* parent);

  // Shows run, which must outlive the showing: the current one (measuring
  // while it is under way) or, earlier, one read from the journal.
  void Show(const RunRecord& run, bool earlier, bool measuring);
  // The run shown has a new segment, or has ended.
  void Update(bool measuring);

 signals:
  void BackToCurrent();

 private:
  void ShowBanner();

  QLabel* word_;
  QLabel* detail_;
  QLabel* viewing_;
  QPushButton* back_;
  QTableView* table_;
  RunTableModel model_;
  const RunRecord* run_ = nullptr;
  bool earlier_ = false;
  bool measuring_ = false;
};

}  // namespace tarnwick::ui

#endif  // TARNWICK_UI_RUN_SUMMARY_VIEW_H_
