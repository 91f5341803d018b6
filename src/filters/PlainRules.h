#pragma once
// Whether the filters with a fast path run their plain rule instead: Mean, the vector point
// rules, AddNoise and the custom filter. The results are the same, bit for bit; the plain
// rules are the reference the fast paths are held to, and this lets the program, the soak and
// the fuzz targets run on them too.
#include "filters/Parallel.h"

// True when CORVALUX_PLAIN is 1 in the environment, read once at the first call, unless
// ChoosePlainRules said otherwise.
bool PlainRulesChosen();

// For tests, with no filter running: true or false from now on.
void ChoosePlainRules(bool plain);

// A plain rule's report after each row of its own loop; throws ECancelled once cancelled.
inline void PlainRowDone(ProgressMeter* meter) {
    if (!meter) return;
    meter->Advance(1);
    meter->Check();
}
