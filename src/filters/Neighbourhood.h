#pragma once
// The neighbourhood filters: each result reads the pixels around it as they were before the pass.
#include "FindEdges.h"
#include "Mean.h"
#include "Sharpness.h"
