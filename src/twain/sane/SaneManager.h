#pragma once
// The Source Manager: the program's session with it (TWAIN states 2 and 3), the list of
// sources, one per SANE device, the selection dialog, the default source, and the one open
// source that source triplets are passed to.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "twain/sane/SaneLibrary.h"
#include "twain/sane/TwainSourceTypes.h"

namespace sanedsm {

class TSaneSource;

class TManager {
public:
    TManager();
    ~TManager();
    TW_UINT16 Entry(pTW_IDENTITY origin, pTW_IDENTITY destination, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                    TW_MEMREF data);

private:
    struct TSourceEntry {
        TW_IDENTITY Identity;
        std::string Device;
        std::string Title;  // the whole name, for the source's dialog
    };

    TW_UINT16 Fail(TW_UINT16 condition);
    TW_UINT16 ManagerTriplet(pTW_IDENTITY origin, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);
    TW_UINT16 OpenManager(pTW_IDENTITY origin, TW_MEMREF data);
    TW_UINT16 CloseManager();
    TW_UINT16 First(TW_IDENTITY& identity);
    TW_UINT16 Next(TW_IDENTITY& identity);
    TW_UINT16 Default(TW_IDENTITY& identity);
    TW_UINT16 UserSelect(TW_IDENTITY& identity);
    TW_UINT16 OpenSource(TW_IDENTITY& identity);
    TW_UINT16 CloseSource(const TW_IDENTITY& identity);

    // Lists the devices now, unless a list is known already (or `again`).
    SANE_Status EnsureSources(bool again);
    void SetSources(const std::vector<TDeviceInfo>& devices);
    // The source the default file names, or the first; null when there is none.
    const TSourceEntry* DefaultEntry() const;
    TW_UINT32 IdOf(const std::string& device);

    bool open_ = false;
    std::uintptr_t parent_ = 0;  // the window of MSG_OPENDSM, checked before each use
    TW_UINT32 applicationId_ = 0;
    std::shared_ptr<TSaneUse> use_;
    std::optional<std::vector<TSourceEntry>> sources_;
    std::size_t next_ = 0;
    std::vector<std::pair<std::string, TW_UINT32>> ids_;  // stable for the process
    std::unique_ptr<TSaneSource> source_;
    TW_UINT16 condition_ = TWCC_SUCCESS;
};

}  // namespace sanedsm
