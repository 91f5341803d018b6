#pragma once
// The custom filter: three formulas give every selected pixel its new red, green and blue,
// each reading the pixel's old values as R1, G1 and B1.
#include "image/Bitmap.h"
#include "custom/FilterFormulas.h"
#include "image/Progress.h"
#include "image/Rect.h"

// Applies the formulas (spaces already removed) to the selection, with the result of the
// region copy of every filter (black outside the picture, drawn back clipped). A formula that
// does not parse gives 0 for its channel. A floating-point overflow in any formula throws
// EOverflow before anything is drawn back, so the picture is left as it was.
//
// Each formula's result depends only on the old values of the channels it names, so it is
// worked out once per distinct value (or pair, or triple) of those and looked up after. A
// formula whose names stand alone (CompiledFormula.h) is parsed once; the others are parsed
// per value with the numbers put into the text. The work runs in parallel bands.
//
// With a callback, progress is reported while the results are worked out, and a cancel then
// throws ECancelled before anything is written.
void CustomFilter(Bitmap& picture, const TRect& selection, const TFilterFormulas& formulas,
                  const ProgressCallback& progress = {});

// The batch tool's custom step: first the syntax check of the window, which throws
// EFormulaSyntax with its message, then CustomFilter.
void CheckedCustomFilter(Bitmap& picture, const TRect& selection, const TFilterFormulas& formulas,
                         const ProgressCallback& progress = {});

// The same, with the text replaced and parsed anew for every pixel and channel. Minutes on
// a photo; the reference that CustomFilter is tested against, and what it runs under
// CORVALUX_PLAIN=1 (PlainRules.h). Progress is reported by rows.
void PlainCustomFilter(Bitmap& picture, const TRect& selection, const TFilterFormulas& formulas,
                       const ProgressCallback& progress = {});
