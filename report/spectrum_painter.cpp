#include "report/spectrum_painter.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>

#include "measure/plan_file.h"
#include "measure/segment_plan.h"
#include "text/number_text.h"

namespace tarnwick::report {

QColor VerdictColour(RunVerdict::Kind kind) {
  switch (kind) {
    case RunVerdict::Kind::kPass: return {0x1b, 0x7f, 0x3b};
    case RunVerdict::Kind::kFail: return {0xc6, 0x28, 0x28};
    case RunVerdict::Kind::kDoubtful: return {0xb2, 0x6a, 0x00};
    default: return {0x40, 0x48, 0x50};
  }
}

QColor FailingRowColour() { return {0xfd, 0xe4, 0xe4}; }

namespace {

constexpr double kDbPerDivision = 10;
constexpr double kDivisions = 10;  // an analyser's screen
constexpr double kFallbackLowHz = 30'000'000;
constexpr double kFallbackHighHz = 6'100'000'000;

const QColor kGrid(0xd8, 0xdd, 0xe2);
const QColor kAxisText(0x40, 0x48, 0x50);
const QColor kLimit = VerdictColour(RunVerdict::Kind::kFail);
const QColor kPass = VerdictColour(RunVerdict::Kind::kPass);
const QColor kUnjudged = VerdictColour(RunVerdict::Kind::kUnjudged);
const QColor kCarrier(0x1f, 0x4e, 0x9c);

struct Axes {
  QRectF plot;
  double lowHz, highHz, topDbm, bottomDbm;

  double X(double hz) const {
    const double t = std::log(std::clamp(hz, lowHz, highHz) / lowHz) / std::log(highHz / lowHz);
    return plot.left() + t * plot.width();
  }
  double Y(double dbm) const {
    const double t = (topDbm - std::clamp(dbm, bottomDbm, topDbm)) / (topDbm - bottomDbm);
    return plot.top() + t * plot.height();
  }
};

// How much the run's plan left out on either side of the carrier: from the
// plan's text as the journal keeps it; runs kept before plans were written
// down walked a built-in band's plan.
double NotchHz(const RunRecord& run) {
  if (!run.settings.planText.empty()) {
    try {
      return ParsePlan(run.settings.planText, run.settings.plan).notchHz;
    } catch (const PlanError&) {
      // A plan text the journal kept but this version cannot read: the usual notch.
    }
  }
  return BuiltinPlan(1).notchHz;
}

// The span and level range that hold everything the run has to show.
Axes ChooseAxes(const QRectF& plot, const RunRecord& run, const FreqSegments& plan,
                double notchHz) {
  double low = std::numeric_limits<double>::max(), high = 0;
  auto take = [&](double a, double b) {
    low = std::min(low, a);
    high = std::max(high, b);
  };
  for (const FreqSegment& s : plan) take(s.StartHz, s.StopHz);
  for (const SegmentRecord& s : run.segments) take(s.m.startHz, s.m.stopHz);
  if (run.plan) {
    const double carrierHz = run.plan->carrierMHz * kHzPerMHz;
    take(carrierHz - notchHz, carrierHz + notchHz);
  }
  if (!(low > 0 && high > low)) {
    low = kFallbackLowHz;
    high = kFallbackHighHz;
  }
  // The reference level is the top of an analyser's screen; readings and
  // limits outside its ten divisions widen the range rather than vanish.
  // Levels beyond any a limit may have would make divisions without end.
  auto level = [](double dbm) { return std::clamp(dbm, kLowestLimitDbm, kHighestLimitDbm); };
  double top = level(run.plan ? run.plan->refLevelDbm : 0);
  double lowest = top - kDivisions * kDbPerDivision, highest = top;
  for (const SegmentRecord& s : run.segments) {
    if (!IsReadingValue(s.m.peakDbm)) continue;
    lowest = std::min(lowest, level(s.m.peakDbm));
    highest = std::max(highest, level(s.m.peakDbm));
    if (s.verdict.limitDbm) {
      lowest = std::min(lowest, level(*s.verdict.limitDbm));
      highest = std::max(highest, level(*s.verdict.limitDbm));
    }
  }
  top = std::ceil(highest / kDbPerDivision) * kDbPerDivision;
  const double bottom = std::floor(lowest / kDbPerDivision) * kDbPerDivision;
  return {plot, low, high, top, bottom < top ? bottom : top - kDbPerDivision};
}

// 1, 2 and 5 of every decade inside the span, in Hz.
std::vector<double> FrequencyTicks(double lowHz, double highHz) {
  std::vector<double> ticks;
  for (double decade = std::pow(10.0, std::floor(std::log10(lowHz))); decade <= highHz;
       decade *= 10) {
    for (double step : {1.0, 2.0, 5.0}) {
      const double f = decade * step;
      if (f >= lowHz && f <= highHz) ticks.push_back(f);
    }
  }
  return ticks;
}

void DrawGrid(QPainter& p, const Axes& a, double unit) {
  const QFontMetricsF metrics(p.font());
  p.setPen(QPen(kGrid, unit));
  for (double dbm = a.bottomDbm; dbm <= a.topDbm; dbm += kDbPerDivision) {
    p.drawLine(QPointF(a.plot.left(), a.Y(dbm)), QPointF(a.plot.right(), a.Y(dbm)));
  }
  for (double f : FrequencyTicks(a.lowHz, a.highHz)) {
    p.drawLine(QPointF(a.X(f), a.plot.top()), QPointF(a.X(f), a.plot.bottom()));
  }
  p.setPen(kAxisText);
  for (double dbm = a.bottomDbm; dbm <= a.topDbm; dbm += kDbPerDivision) {
    QString label = QString::fromStdString(GeneralNumberText(dbm));
    if (dbm + kDbPerDivision > a.topDbm) label += QStringLiteral(" dBm");  // the reference
    p.drawText(QRectF(a.plot.left() - 60 * unit, a.Y(dbm) - metrics.height() / 2, 56 * unit,
                      metrics.height()),
               Qt::AlignRight | Qt::AlignVCenter, label);
  }
  double lastRight = -1;
  for (double f : FrequencyTicks(a.lowHz, a.highHz)) {
    const QString label = QString::fromStdString(GeneralNumberText(f / kHzPerMHz));
    const double width = metrics.horizontalAdvance(label);
    const double left = a.X(f) - width / 2;
    if (left < lastRight + 4 * unit) continue;  // crowded ticks keep their line only
    p.drawText(QPointF(left, a.plot.bottom() + metrics.ascent() + 3 * unit), label);
    lastRight = left + width;
  }
  p.drawText(QRectF(a.plot.left(), a.plot.bottom() + metrics.height() + 3 * unit,
                    a.plot.width(), metrics.height()),
             Qt::AlignRight, QStringLiteral("MHz"));
  p.setPen(QPen(kAxisText, unit));
  p.setBrush(Qt::NoBrush);
  p.drawRect(a.plot);
}

void DrawCarrier(QPainter& p, const Axes& a, const RunPlan& plan, double notchHz, double unit) {
  const double carrierHz = plan.carrierMHz * kHzPerMHz;
  const double left = a.X(carrierHz - notchHz);
  // Never thinner than a few pixels, so a narrow notch on a wide span shows.
  const double right = std::max(a.X(carrierHz + notchHz), left + 4 * unit);
  const QRectF notch(left, a.plot.top(), right - left, a.plot.height());
  p.fillRect(notch, QColor(0xe4, 0xea, 0xf4));
  p.fillRect(notch, QBrush(QColor(0xa8, 0xb8, 0xd8), Qt::BDiagPattern));
  p.setPen(QPen(kCarrier, unit, Qt::DashLine));
  p.drawLine(QPointF(a.X(carrierHz), a.plot.top()), QPointF(a.X(carrierHz), a.plot.bottom()));
  p.setPen(kCarrier);
  const QString label = QStringLiteral("carrier %1 MHz, ±%2 MHz not swept")
                            .arg(QString::fromStdString(GeneralNumberText(plan.carrierMHz)),
                                 QString::fromStdString(GeneralNumberText(notchHz / kHzPerMHz)));
  const QFontMetricsF metrics(p.font());
  // On the side with room for it.
  const double width = metrics.horizontalAdvance(label);
  const double x = right + 3 * unit + width < a.plot.right() ? right + 3 * unit : left - 3 * unit - width;
  p.drawText(QPointF(x, a.plot.top() + metrics.ascent() + 2 * unit), label);
}

void DrawReadings(QPainter& p, const Axes& a, const RunRecord& run, double unit) {
  for (const SegmentRecord& s : run.segments) {
    if (!s.verdict.limitDbm) continue;
    p.setPen(QPen(kLimit, 2 * unit, Qt::SolidLine, Qt::FlatCap));
    const double y = a.Y(*s.verdict.limitDbm);
    p.drawLine(QPointF(a.X(s.m.startHz), y), QPointF(a.X(s.m.stopHz), y));
  }
  for (const SegmentRecord& s : run.segments) {
    // A marker the analyser had no value for has no place on the picture.
    if (!IsReadingValue(s.m.peakHz) || !IsReadingValue(s.m.peakDbm)) continue;
    const QPointF at(a.X(s.m.peakHz), a.Y(s.m.peakDbm));
    const bool fails = s.verdict.Fails();
    const QColor colour = fails ? kLimit : s.verdict.limitDbm ? kPass : kUnjudged;
    const double r = (fails ? 5 : 4) * unit;
    p.setPen(QPen(colour, 1.5 * unit));
    // A doubtful reading is hollow: it is not a sound value.
    p.setBrush(s.m.note.empty() ? QBrush(colour) : QBrush(Qt::white));
    p.drawEllipse(at, r, r);
    if (fails) {
      const double c = r + 3 * unit;
      p.setPen(QPen(kLimit, 2 * unit));
      p.drawLine(at + QPointF(-c, -c), at + QPointF(c, c));
      p.drawLine(at + QPointF(-c, c), at + QPointF(c, -c));
      p.drawText(at + QPointF(c + 2 * unit, -c), QStringLiteral("FAIL"));
    }
  }
}

// One line under the frequency labels, clear of every reading.
void DrawLegend(QPainter& p, const Axes& a, double unit) {
  const QFontMetricsF metrics(p.font());
  const double top = a.plot.bottom() + metrics.height() + 3 * unit;
  const double middle = top + metrics.height() / 2;
  double x = a.plot.left();
  auto say = [&](const char* text) {
    p.setPen(kAxisText);
    p.drawText(QPointF(x, top + metrics.ascent()), QString::fromLatin1(text));
    x += metrics.horizontalAdvance(QString::fromLatin1(text)) + 12 * unit;
  };
  p.setPen(QPen(kLimit, 2 * unit));
  p.drawLine(QPointF(x, middle), QPointF(x + 14 * unit, middle));
  x += 18 * unit;
  say("limit");
  const std::pair<QColor, const char*> peaks[] = {
      {kPass, "peak within its limit"}, {kLimit, "peak over its limit"}, {kUnjudged, "peak without a limit"}};
  for (const auto& [colour, text] : peaks) {
    p.setPen(colour);
    p.setBrush(colour);
    p.drawEllipse(QPointF(x + 3 * unit, middle), 3 * unit, 3 * unit);
    x += 10 * unit;
    say(text);
  }
}

}  // namespace

void PaintSpectrum(QPainter& painter, const QRectF& area, const RunRecord& run,
                   const FreqSegments& plan) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  // One pixel of a 96 dpi screen, in the device's own units.
  const double unit = painter.device() ? painter.device()->logicalDpiX() / 96.0 : 1.0;
  painter.fillRect(area, Qt::white);
  const QFontMetricsF metrics(painter.font());
  const QRectF plot = area.adjusted(64 * unit, 8 * unit, -10 * unit,
                                    -(2 * metrics.height() + 8 * unit));
  if (plot.width() > 0 && plot.height() > 0) {
    // The plan text is parsed once a paint.
    const double notchHz = run.plan ? NotchHz(run) : 0;
    const Axes axes = ChooseAxes(plot, run, plan, notchHz);
    painter.setClipRect(plot.adjusted(-unit, -unit, unit, unit));
    if (run.plan) DrawCarrier(painter, axes, *run.plan, notchHz, unit);
    painter.setClipping(false);
    DrawGrid(painter, axes, unit);
    DrawReadings(painter, axes, run, unit);
    DrawLegend(painter, axes, unit);
  }
  painter.restore();
}

}  // namespace tarnwick::report
