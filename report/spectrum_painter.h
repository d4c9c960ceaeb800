// The picture of a run: each segment's peak against the limit it was judged
// by, over the plan's span, with the carrier's notch. One painting serves the
// window and the PDF report.
#ifndef TARNWICK_REPORT_SPECTRUM_PAINTER_H_
#define TARNWICK_REPORT_SPECTRUM_PAINTER_H_

#include <QColor>
#include <QRectF>

#include "measure/segment_plan.h"
#include "results/run_record.h"
#include "results/verdicts.h"

class QPainter;

namespace tarnwick::report {

// Paints run into area: frequency on a log axis over the plan's span (plan's
// segments when given, and every measured one), the reference level at the
// top and 10 dB a division; each limit across the range of the segment it
// judged; the carrier with its notch shaded; each peak at its frequency,
// failing ones red with a cross and doubtful ones hollow. Sizes follow the
// painter's device, so a PDF page gets the same picture as the screen.
// The colour of a verdict wherever it is shown: green, red, amber or grey.
QColor VerdictColour(RunVerdict::Kind kind);
// The tint of a failing row in a table.
QColor FailingRowColour();

void PaintSpectrum(QPainter& painter, const QRectF& area, const RunRecord& run,
                   const FreqSegments& plan = {});

}  // namespace tarnwick::report

#endif  // TARNWICK_REPORT_SPECTRUM_PAINTER_H_
