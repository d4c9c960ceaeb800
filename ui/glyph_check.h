// Whether a font draws the characters of result lines legibly at its size,
// judged from a rendering: a name says nothing about how its hinted glyphs
// come out at 9 points.
#ifndef TARNWICK_UI_GLYPH_CHECK_H_
#define TARNWICK_UI_GLYPH_CHECK_H_

#include <QFont>

namespace tarnwick::ui {

// True when, drawn at 96 dpi, '.' stays on the baseline while ',' reaches
// below it, and 'M' stands on two legs apart.
bool DrawsResultGlyphsDistinctly(const QFont& font);

}  // namespace tarnwick::ui

#endif  // TARNWICK_UI_GLYPH_CHECK_H_
