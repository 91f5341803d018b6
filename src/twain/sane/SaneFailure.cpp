#include "twain/sane/SaneFailure.h"

#include "twain/sane/TwainSourceTypes.h"

namespace sanedsm {

TW_UINT16 ReportCondition(TW_STATUS& status, TW_UINT16& condition) {
    status.ConditionCode = condition;
    status.Reserved = 0;
    condition = TWCC_SUCCESS;
    return TWRC_SUCCESS;
}

TFailure DescribeStatus(SANE_Status status) {
    switch (status) {
        case SANE_STATUS_GOOD:
        case SANE_STATUS_EOF: return {"", TWCC_SUCCESS};
        case SANE_STATUS_CANCELLED: return {"The scan was cancelled.", TWCC_SUCCESS};
        case SANE_STATUS_JAMMED:
            return {"The paper is jammed in the scanner. Clear the paper path, then scan again.", TWCC_PAPERJAM};
        case SANE_STATUS_NO_DOCS:
            return {"There are no documents in the scanner's feeder. Load the pages, then scan again.", TWCC_NOMEDIA};
        case SANE_STATUS_COVER_OPEN: return {"The scanner's cover is open. Close it, then scan again.", TWCC_INTERLOCK};
        case SANE_STATUS_IO_ERROR:
            return {
                "The scanner stopped answering (input/output error). Check that it is switched on and "
                "connected, then scan again.",
                TWCC_CHECKDEVICEONLINE};
        case SANE_STATUS_DEVICE_BUSY:
            return {"The scanner is busy, perhaps in use by another program. Try again when it is free.",
                    TWCC_MAXCONNECTIONS};
        case SANE_STATUS_ACCESS_DENIED:
            return {
                "You have no permission to use this scanner. Your user usually needs to be in the "
                "\"scanner\" group (log in again after being added).",
                TWCC_DENIED};
        case SANE_STATUS_NO_MEM: return {"There is not enough memory for this scan.", TWCC_LOWMEMORY};
        case SANE_STATUS_INVAL: return {"The scanner refused these settings.", TWCC_BADVALUE};
        case SANE_STATUS_UNSUPPORTED: return {"The scanner cannot do what was asked of it.", TWCC_OPERATIONERROR};
        default: break;
    }
    return {std::string("The scanner reported: ") + sane_strstatus(status) + ".", TWCC_BUMMER};
}

}  // namespace sanedsm
