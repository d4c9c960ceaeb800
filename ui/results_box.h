// What the window does with the results box's text and its own place, apart
// from the window class: where a new block goes, how the text is saved, and
// where the window may stand.
#ifndef TARNWICK_UI_RESULTS_BOX_H_
#define TARNWICK_UI_RESULTS_BOX_H_

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

// Writes bytes to path atomically (a failed write leaves the old file);
// the problem, or empty.
QString SaveFileAtomically(const QString& path, const QByteArray& bytes);

// Moves a top-level window so that as much of it as fits lies on the
// available area of the screen it opens on.
void KeepOnScreen(QWidget& window);

}  // namespace tarnwick::ui

#endif  // TARNWICK_UI_RESULTS_BOX_H_
