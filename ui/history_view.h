// The journal's earlier runs, newest first. The list is made when it is
// first opened (the window reaches the screen sooner without it) and read
// anew when it is opened after a run was recorded.
#ifndef TARNWICK_UI_HISTORY_VIEW_H_
#define TARNWICK_UI_HISTORY_VIEW_H_

#include <functional>

#include <QWidget>

#include "journal/result_store.h"
#include "ui/run_models.h"

class QComboBox;
class QTableView;

namespace tarnwick::ui {

class HistoryView : public QWidget {
  Q_OBJECT

 public:
  // store answers the journal to read, or null when there is none; it is
  // used on this thread alone.
  HistoryView(std::function<ResultStore*()> store, QWidget* parent);

  // Offers "This bench" or "Lab" above the list. lab answers the lab to
  // read, or null and why not (yet).
  void OfferLab(std::function<ResultStore*(QString* why)> lab);
  // Whether the lab is offered.
  void ShowLabChoice(bool shown);

  // Makes the list if need be, and reads it when a run was recorded since.
  void Open();
  // A run was recorded: the list is read anew, now if it is shown.
  void RunRecorded();

 signals:
  // The operator chose an earlier run, read whole from the journal.
  void RunChosen(const tarnwick::RunRecord& run);

 private:
  // Reads the runs into the list; a problem goes in the list's tooltip.
  void Load();
  void Choose(std::int64_t id);

  // The store chosen: the bench's journal or the lab; why: why none.
  ResultStore* Chosen(QString* why);

  std::function<ResultStore*()> store_;
  std::function<ResultStore*(QString* why)> lab_;
  QComboBox* source_ = nullptr;
  HistoryModel model_;
  QTableView* table_ = nullptr;
  bool stale_ = true;
};

}  // namespace tarnwick::ui

#endif  // TARNWICK_UI_HISTORY_VIEW_H_
