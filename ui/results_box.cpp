#include "ui/results_box.h"

#include <algorithm>

#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
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

void KeepOnScreen(QWidget& window) {
  QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  const QSize over = (window.frameGeometry().size() - area.size()).expandedTo(QSize(0, 0));
  if (over.width() > 0 || over.height() > 0) window.resize(window.size() - over);
  const QRect frame = window.frameGeometry();
  // Right and bottom edges first, so a window larger than the screen (one
  // that cannot shrink enough) keeps its title bar on it.
  const int x = std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width()));
  const int y = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
  window.move(window.pos() + QPoint(x - frame.left(), y - frame.top()));
}

namespace {

// The added area's widths: the least that shows a table, and what shows it
// whole; and the height a window is given when the screen has it.
constexpr int kAddedMinWidth = 440;
constexpr int kAddedWidth = 780;
constexpr int kClientHeight = 760;

}  // namespace

bool AddedAreaBelow(int clientWidth, const QSize& panel) {
  return clientWidth < panel.width() + kAddedMinWidth;
}

WindowFit FitWindow(const QSize& panel, const QSize& available, const QSize& frame) {
  const QSize room = available - frame;
  WindowFit fit;
  fit.below = AddedAreaBelow(room.width(), panel);
  const QSize wanted = fit.below ? QSize(std::max(panel.width(), kAddedWidth), panel.height() + kClientHeight)
                                 : QSize(panel.width() + kAddedWidth, std::max(panel.height(), kClientHeight));
  fit.client = wanted.boundedTo(room);
  return fit;
}

QString SuggestedFileName(const QString& carrier, const QString& band, const QString& date,
                          const QString& suffix) {
  static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9.+-]"));
  QString mhz = QString(carrier).remove(unsafe);
  if (!mhz.endsWith(QStringLiteral("MHz"), Qt::CaseInsensitive)) mhz += QStringLiteral("MHz");
  return QStringLiteral("%1-%2-%3.%4").arg(mhz, QString(band).remove(unsafe), date, suffix);
}

QString WithSuffix(const QString& path, const QString& suffix) {
  return QFileInfo(path).suffix().isEmpty() ? path + QLatin1Char('.') + suffix : path;
}

QString AskSavePath(QWidget* parent, const QString& title, const QString& suggested,
                    const QString& filter, const QString& suffix) {
  QFileDialog dialog(parent, title, suggested, filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(suffix);
  dialog.selectFile(suggested);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return WithSuffix(dialog.selectedFiles().constFirst(), suffix);
}

}  // namespace tarnwick::ui
