#include "ui/results_box.h"

#include <algorithm>

#include <QGuiApplication>
#include <QSaveFile>
#include <QScreen>
#include <QTextBlock>
#include <QWidget>

namespace tarnwick::ui {

QTextCursor BlockInsertionPoint(QTextCursor caret) {
  if (caret.hasSelection()) caret.setPosition(caret.selectionEnd());
  // At the start of a line the block goes before it, and its last line
  // break keeps that line whole; inside a line, before the next one.
  if (!caret.atBlockStart() && !caret.movePosition(QTextCursor::NextBlock)) {
    caret.movePosition(QTextCursor::EndOfBlock);
    caret.insertText(QStringLiteral("\n"));
  }
  return caret;
}

QByteArray SavedResults(const QString& boxText, bool simulated) {
  QString text = boxText;
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  if (simulated) {
    text.prepend(QStringLiteral("Simulated analyser: these lines are not a measurement.\r\n"));
  }
  return text.toUtf8();
}

QString SaveFileAtomically(const QString& path, const QByteArray& bytes) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    return file.errorString();
  }
  return {};
}

void KeepOnScreen(QWidget& window) {
  QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  const QRect frame = window.frameGeometry();
  // Right and bottom edges first, so a window larger than the screen keeps
  // its title bar on it.
  const int x = std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width()));
  const int y = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
  window.move(window.pos() + QPoint(x - frame.left(), y - frame.top()));
}

}  // namespace tarnwick::ui
