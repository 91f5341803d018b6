#pragma once
// The neighbourhood filters: each result reads the pixels around it as they were before the pass.
#include "filters/FindEdges.h"
#include "filters/Mean.h"
#include "filters/Sharpness.h"
