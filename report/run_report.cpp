#include "report/run_report.h"

#include <algorithm>
#include <vector>

#include <QBuffer>
#include <QDateTime>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include "report/spectrum_painter.h"
#include "results/block_text.h"
#include "results/verdicts.h"
#include "text/quote.h"
#include "version.h"

namespace tarnwick::report {
namespace {

constexpr int kDotsPerInch = 300;
constexpr double kMarginMm = 15;

QString Q(const std::string& text) { return QString::fromStdString(text); }

// "2026-12-07 01:04:40 UTC (2026-12-07 10:04:40 local time, UTC+09:00)"
QString WhenText(const std::string& iso) {
  QDateTime utc = QDateTime::fromString(Q(iso), Qt::ISODateWithMs);
  if (!utc.isValid()) return Q(CutForMessage(iso));
  utc = utc.toUTC();
  const QDateTime local = utc.toLocalTime();
  const int offset = local.offsetFromUtc() / 60;
  const QString zone = QStringLiteral("UTC%1%2:%3")
                           .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                           .arg(std::abs(offset) / 60, 2, 10, QLatin1Char('0'))
                           .arg(std::abs(offset) % 60, 2, 10, QLatin1Char('0'));
  const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss");
  return QStringLiteral("%1 UTC (%2 local time, %3)")
      .arg(utc.toString(format), local.toString(format), zone);
}

// Lays text out down the pages, each block under the last, and starts a new
// page, with its number at the foot, when a block does not fit.
class Pages {
 public:
  Pages(QPainter& painter, QPdfWriter& writer, const QRectF& area, int total)
      : p_(painter), writer_(writer), area_(area), total_(total), y_(area.top()) {
    Font(8, false);
    // The foot of every page holds its number.
    bottom_ = area_.bottom() - 1.5 * QFontMetricsF(p_.font()).height();
    Number();
  }

  int count() const { return page_; }
  double y() const { return y_; }
  // The room left on this page.
  double Room() const { return bottom_ - y_; }

  // A new page unless height still fits on this one (or it is empty).
  bool Need(double height) {
    if (y_ + height <= bottom_ || y_ == area_.top()) return false;
    writer_.newPage();
    ++page_;
    y_ = area_.top();
    Number();
    return true;
  }

  void Text(const QString& text, double points, bool bold = false, QColor colour = Qt::black) {
    Font(points, bold);
    p_.setPen(colour);
    auto room = [this] { return QRectF(area_.left(), y_, area_.width(), bottom_ - y_); };
    const double height = p_.boundingRect(room(), Qt::TextWordWrap, text).height();
    Need(height);
    p_.drawText(room(), Qt::TextWordWrap, text);
    y_ += height;
  }
  void Space(double lines) { y_ += lines * QFontMetricsF(p_.font()).height(); }

  // Every row, the header again at the top of each page the table reaches.
  void Table(const RunRecord& run) {
    std::vector<TableRow> rows;
    for (const SegmentRecord& s : run.segments) rows.push_back(TableRowOf(s));
    Font(8, true);
    const QFontMetricsF metrics(p_.font());
    const double pad = metrics.averageCharWidth();
    // Each column as wide as its widest cell; the note takes what is left.
    double widths[kTableColumnCount] = {};
    double used = 0;
    for (std::size_t i = 0; i + 1 < kTableColumnCount; ++i) {
      widths[i] = metrics.horizontalAdvance(QString::fromUtf8(kTableColumns[i]));
      for (const TableRow& row : rows) widths[i] = std::max(widths[i], metrics.horizontalAdvance(Q(row[i])));
      widths[i] += 2 * pad;
      used += widths[i];
    }
    widths[kTableColumnCount - 1] = std::max(area_.width() - used, 0.0);
    const double row = metrics.height() * 1.35;
    auto drawRow = [&](const auto& cells, bool fails) {
      double x = area_.left();
      if (fails) p_.fillRect(QRectF(x, y_, area_.width(), row), FailingRowColour());
      for (std::size_t i = 0; i < kTableColumnCount; ++i) {
        p_.setPen(fails && i == kVerdictColumn ? VerdictColour(RunVerdict::Kind::kFail) : QColor(Qt::black));
        const QString cell = QString::fromUtf8(cells[i]);
        const QRectF box(x + pad, y_, std::max(widths[i] - 2 * pad, 0.0), row);
        // Numbers to the right, so their decimal points line up.
        const bool number = i > 0 && i < kVerdictColumn;
        p_.drawText(box, Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft),
                    QFontMetricsF(p_.font()).elidedText(cell, Qt::ElideRight, box.width()));
        x += widths[i];
      }
      y_ += row;
      p_.setPen(QPen(QColor(0xd0, 0xd4, 0xd8), 0));
      p_.drawLine(QPointF(area_.left(), y_), QPointF(area_.right(), y_));
    };
    // A header with no row under it would stand alone at a page's foot.
    Need(2 * row);
    drawRow(kTableColumns, false);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (Need(row)) {
        Font(8, true);
        drawRow(kTableColumns, false);
      }
      const bool fails = run.segments[i].verdict.Fails();
      Font(8, fails);
      drawRow(rows[i], fails);
    }
  }

  void Font(double points, bool bold) {
    QFont font = p_.font();
    font.setPointSizeF(points);
    font.setBold(bold);
    // Ligatures would turn "off" into "o" and "ﬀ" for a reader of the PDF's text.
    font.setStyleStrategy(QFont::PreferNoShaping);
    p_.setFont(font);
  }

 private:
  // "page i of n" at the foot of the page, once n is known.
  void Number() {
    if (total_ <= 0) return;
    const QFont font = p_.font();
    Font(8, false);
    p_.setPen(Qt::black);
    p_.drawText(QRectF(area_.left(), bottom_, area_.width(), area_.bottom() - bottom_),
                Qt::AlignRight | Qt::AlignBottom,
                QStringLiteral("page %1 of %2").arg(page_).arg(total_));
    p_.setFont(font);
  }

  QPainter& p_;
  QPdfWriter& writer_;
  QRectF area_;
  int total_;
  double y_;
  double bottom_ = 0;
  int page_ = 1;
};

// Lays the report out on pdf's pages; total, when known, numbers them.
// Returns the pages it took, or 0 with problem set.
int LayOut(const RunRecord& run, const FreqSegments& plan, int total, QBuffer& pdf,
           std::string& problem) {
  QPdfWriter writer(&pdf);
  writer.setResolution(kDotsPerInch);
  writer.setPageSize(QPageSize(QPageSize::A4));
  writer.setPageMargins(QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                        QPageLayout::Millimeter);
  writer.setTitle(QStringLiteral("%1 report, run %2").arg(QString::fromUtf8(kProductName)).arg(run.id));
  writer.setCreator(QStringLiteral("%1 %2").arg(QString::fromUtf8(kProductName),
                                                QString::fromUtf8(kProductVersion)));
  QPainter painter;
  if (!painter.begin(&writer)) {
    problem = "cannot start the PDF";
    return 0;
  }
  painter.setFont(QFont(QStringLiteral("DejaVu Sans")));
  const QRectF area(QPointF(0, 0), writer.pageLayout().paintRectPixels(kDotsPerInch).size());
  Pages page(painter, writer, area, total);
  const RunVerdict verdict = VerdictOf(run);
  const RunSettings& s = run.settings;

  page.Text(QStringLiteral("Tarnwick spurious emission report"), 18, true);
  // A simulated run must never pass for a measurement, printed least of all.
  if (run.simulated) {
    page.Text(QStringLiteral("simulated analyser: not a measurement"), 20, true, VerdictColour(RunVerdict::Kind::kFail));
  }
  page.Space(0.3);
  page.Text(QStringLiteral("Run %1, started %2").arg(run.id).arg(WhenText(run.started)), 10);
  page.Text(Q(run.version.empty() ? std::string("Tarnwick version unknown") : run.version), 10);
  page.Text(QStringLiteral("Bench: %1").arg(Q(CutForMessage(run.bench, kQuotedPathLength))), 10);
  page.Text(QStringLiteral("Carrier %1 MHz, Ref.Lev %2 dBm, Ref.Offs %3 dB, as typed")
                .arg(Q(QuotedForMessage(s.carrierText)), Q(QuotedForMessage(s.refText)),
                     Q(QuotedForMessage(s.offsetText))),
            10);
  const bool band = s.plan == kBand800M || s.plan == kBand2G;
  page.Text(QStringLiteral("%1 %2, Averaging %3")
                .arg(band ? QStringLiteral("Band") : QStringLiteral("Plan"),
                     Q(CutForMessage(s.plan, kQuotedPathLength)),
                     s.averaging ? QStringLiteral("on") : QStringLiteral("off")),
            10);
  page.Text(Q(verdict.limits), 10);
  page.Space(0.5);
  page.Text(Q(verdict.word), 26, true, VerdictColour(verdict.kind));
  page.Text(Q(verdict.detail), 11);
  page.Space(0.6);
  page.Table(run);
  for (const std::string& note : run.endNotes) page.Text(Q(std::string(kNotePrefix) + note), 9);
  page.Space(1);
  // The picture on a page of its own when too little of this one is left.
  const double height = area.width() * 0.62;
  if (page.Room() < height / 2) page.Need(height);
  page.Font(8, false);
  const QRectF picture(area.left(), page.y(), area.width(), std::min(page.Room(), height));
  PaintSpectrum(painter, picture, run, plan);
  if (!painter.end()) {
    problem = "cannot finish the PDF";
    return 0;
  }
  return page.count();
}

}  // namespace

std::string RunReportPdf(const RunRecord& run, std::string& pdf, const FreqSegments& plan) {
  // Laid out once to count the pages, then again to number them.
  std::string problem;
  int total = 0;
  for (int pass = 0; pass < 2; ++pass) {
    QBuffer buffer;
    if (!buffer.open(QIODevice::WriteOnly)) return "cannot start the PDF";
    total = LayOut(run, plan, total, buffer, problem);
    if (total == 0) return problem;
    pdf.assign(buffer.data().constData(), static_cast<std::size_t>(buffer.data().size()));
  }
  return "";
}

}  // namespace tarnwick::report
