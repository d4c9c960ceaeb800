#include "ui/glyph_check.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

namespace tarnwick::ui {
namespace {

constexpr int kDotsPerMeterAt96Dpi = 3780;  // 96 / 0.0254
constexpr int kInkThreshold = 128;          // a grey level darker than this is ink

// The glyph drawn black on white at 96 dpi, its baseline at row `baseline`.
QImage Render(const QFont& font, QChar c, int& baseline) {
  QImage image(64, 64, QImage::Format_Grayscale8);
  image.setDotsPerMeterX(kDotsPerMeterAt96Dpi);
  image.setDotsPerMeterY(kDotsPerMeterAt96Dpi);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setFont(font);
  painter.setPen(Qt::black);
  baseline = QFontMetrics(font, &image).ascent() + 8;
  painter.drawText(8, baseline, QString(c));
  return image;
}

bool Ink(const QImage& image, int x, int y) {
  return qGray(image.pixel(x, y)) < kInkThreshold;
}

// Rows of ink from the baseline down (a glyph sitting on the baseline
// ends in the row above it).
int InkBelowBaseline(const QFont& font, QChar c) {
  int baseline = 0;
  const QImage image = Render(font, c, baseline);
  int rows = 0;
  for (int y = baseline; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (Ink(image, x, y)) {
        ++rows;
        break;
      }
    }
  }
  return rows;
}

// Separate runs of ink in the lowest inked row of c: an 'M' whose middle
// has run into a blob shows one.
int BottomRowStrokes(const QFont& font, QChar c) {
  int baseline = 0;
  const QImage image = Render(font, c, baseline);
  for (int y = image.height() - 1; y >= 0; --y) {
    int strokes = 0;
    bool inStroke = false;
    for (int x = 0; x < image.width(); ++x) {
      const bool ink = Ink(image, x, y);
      if (ink && !inStroke) ++strokes;
      inStroke = ink;
    }
    if (strokes > 0) return strokes;
  }
  return 0;
}

}  // namespace

bool DrawsResultGlyphsDistinctly(const QFont& font) {
  return InkBelowBaseline(font, QLatin1Char('.')) == 0 &&
         InkBelowBaseline(font, QLatin1Char(',')) > 0 && BottomRowStrokes(font, QLatin1Char('M')) >= 2;
}

}  // namespace tarnwick::ui
