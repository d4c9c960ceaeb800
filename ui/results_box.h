// What the window does with the results box's text and its own place, apart
// from the window class: where a new block goes, how the text is saved, and
// where the window may stand.
#ifndef TARNWICK_UI_RESULTS_BOX_H_
#define TARNWICK_UI_RESULTS_BOX_H_

#include <QSize>
#include <QString>
#include <QTextCursor>

class QWidget;

namespace tarnwick::ui {

// Where a run's block goes for a caret: after a selection rather than over
// it, and on a line of its own (a caret inside or at the end of a non-empty
// line goes to the start of the next line, or to a new last line).
QTextCursor BlockInsertionPoint(QTextCursor caret);

// The box's text as a saved file has it: CR LF line breaks, and first a
// line that says so when the analyser was simulated.
QByteArray SavedResults(const QString& boxText, bool simulated);


// Moves a top-level window onto the available area of the screen it opens
// on, shrinking it first if it is larger.
void KeepOnScreen(QWidget& window);

// The window's client size and arrangement on a screen with the available
// area given (logical pixels), frame being what the window system adds
// around the client: the added area beside the panel when there is room
// for it, else below; never larger than the screen.
struct WindowFit {
  QSize client;
  bool below = false;
};
WindowFit FitWindow(const QSize& panel, const QSize& available, const QSize& frame);
// Whether a client this wide keeps the added area below the panel.
bool AddedAreaBelow(int clientWidth, const QSize& panel);

// A file name for what a run left: carrier, band and date, and the suffix:
// "1940MHz-2G-2026-12-07.txt". Characters a file name should not hold are
// left out.
QString SuggestedFileName(const QString& carrier, const QString& band, const QString& date,
                          const QString& suffix);
// path with ".suffix" added when it has no suffix of its own.
QString WithSuffix(const QString& path, const QString& suffix);
// Asks where to save, offering suggested; empty when the operator cancels.
// The suffix is added before the dialog asks about overwriting.
QString AskSavePath(QWidget* parent, const QString& title, const QString& suggested,
                    const QString& filter, const QString& suffix);

}  // namespace tarnwick::ui

#endif  // TARNWICK_UI_RESULTS_BOX_H_
