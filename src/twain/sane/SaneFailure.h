#pragma once
// What a SANE status means to the person at the scanner, and the TWAIN condition code that
// reports it to the program.
#include <sane/sane.h>

#include <string>

#include "twain/TwainTypes.h"

namespace sanedsm {

struct TFailure {
    std::string Message;  // a sentence or two for the source's dialog
    TW_UINT16 Condition;  // TWCC_...
};

TFailure DescribeStatus(SANE_Status status);

// DAT_STATUS MSG_GET: hands the program the condition of the last failure and clears it, so
// that each failure is reported once.
TW_UINT16 ReportCondition(TW_STATUS& status, TW_UINT16& condition);

}  // namespace sanedsm
