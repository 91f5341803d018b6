#include "twain/sane/SaneManager.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <QWidget>
#include <cstring>

#include "twain/sane/DefaultSource.h"
#include "twain/sane/SaneDevice.h"
#include "twain/sane/SaneFailure.h"
#include "twain/sane/SaneSource.h"
#include "twain/sane/SelectSourceDialog.h"

namespace sanedsm {
namespace {
constexpr TW_UINT32 FirstSourceId = 100;

QWidget* LiveWidget(std::uintptr_t handle) {
    if (!handle) return nullptr;
    for (QWidget* widget : QApplication::allWidgets())
        if (reinterpret_cast<std::uintptr_t>(widget) == handle) return widget;
    return nullptr;
}
}  // namespace

TManager::TManager() = default;
TManager::~TManager() = default;

TW_UINT16 TManager::Fail(TW_UINT16 condition) {
    condition_ = condition;
    return TWRC_FAILURE;
}

TW_UINT16 TManager::Entry(pTW_IDENTITY origin, pTW_IDENTITY destination, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                          TW_MEMREF data) {
    if (!origin) return Fail(TWCC_BADVALUE);
    // Dialogs and the worker's answers live on the program's GUI thread.
    auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!application || QThread::currentThread() != application->thread()) return Fail(TWCC_BUMMER);
    if (!destination) {
        if (dg != DG_CONTROL) return Fail(TWCC_BADPROTOCOL);
        return ManagerTriplet(origin, dat, msg, data);
    }
    if (!open_ || origin->Id != applicationId_) return Fail(TWCC_SEQERROR);
    if (!source_ || destination->Id != source_->Identity().Id) return Fail(TWCC_BADDEST);
    return source_->Triplet(dg, dat, msg, data);
}

TW_UINT16 TManager::ManagerTriplet(pTW_IDENTITY origin, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    if (dat == DAT_STATUS && msg == MSG_GET) {
        if (!data) return Fail(TWCC_BADVALUE);
        return ReportCondition(*static_cast<TW_STATUS*>(data), condition_);
    }
    if (dat == DAT_PARENT && msg == MSG_OPENDSM) return OpenManager(origin, data);
    if (!open_ || origin->Id != applicationId_) return Fail(TWCC_SEQERROR);
    if (dat == DAT_PARENT && msg == MSG_CLOSEDSM) return CloseManager();
    if (dat != DAT_IDENTITY) return Fail(TWCC_BADPROTOCOL);
    if (!data) return Fail(TWCC_BADVALUE);
    auto& identity = *static_cast<TW_IDENTITY*>(data);
    switch (msg) {
        case MSG_GETFIRST: return First(identity);
        case MSG_GETNEXT: return Next(identity);
        case MSG_GETDEFAULT: return Default(identity);
        case MSG_USERSELECT: return UserSelect(identity);
        case MSG_OPENDS: return OpenSource(identity);
        case MSG_CLOSEDS: return CloseSource(identity);
        default: return Fail(TWCC_BADPROTOCOL);
    }
}

TW_UINT16 TManager::OpenManager(pTW_IDENTITY origin, TW_MEMREF data) {
    if (open_) return Fail(TWCC_SEQERROR);
    if (!data) return Fail(TWCC_BADVALUE);
    auto use = std::make_shared<TSaneUse>();
    if (!use->Ready()) return Fail(DescribeStatus(use->Status()).Condition);
    use_ = std::move(use);
    std::memcpy(&parent_, data, sizeof parent_);
    origin->Id = ++applicationId_;
    open_ = true;
    return TWRC_SUCCESS;
}

TW_UINT16 TManager::CloseManager() {
    if (source_) return Fail(TWCC_SEQERROR);
    use_.reset();
    sources_.reset();  // devices may come and go before the next session
    open_ = false;
    parent_ = 0;
    return TWRC_SUCCESS;
}

SANE_Status TManager::EnsureSources(bool again) {
    if (sources_ && !again) return SANE_STATUS_GOOD;
    std::vector<TDeviceInfo> devices;
    const SANE_Status status = ListDevices(use_, devices);
    if (status == SANE_STATUS_GOOD) SetSources(devices);
    return status;
}

TW_UINT32 TManager::IdOf(const std::string& device) {
    for (const auto& [name, id] : ids_)
        if (name == device) return id;
    ids_.emplace_back(device, FirstSourceId + TW_UINT32(ids_.size()));
    return ids_.back().second;
}

void TManager::SetSources(const std::vector<TDeviceInfo>& devices) {
    const std::vector<std::string> names = SourceNames(devices);
    const std::vector<std::string> titles = SourceNames(devices, WholeName);
    sources_.emplace();
    for (std::size_t i = 0; i < devices.size(); ++i) {
        TW_IDENTITY identity{};
        identity.Id = IdOf(devices[i].Name);
        identity.Version = {1, 0, TWLG_USA, TWCY_USA, {}};
        CopyName(identity.Version.Info, devices[i].Name);
        identity.ProtocolMajor = 1;
        identity.ProtocolMinor = 9;
        identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
        CopyName(identity.Manufacturer, devices[i].Vendor);
        CopyName(identity.ProductFamily, devices[i].Model);
        CopyName(identity.ProductName, names[i]);
        sources_->push_back({identity, devices[i].Name, titles[i]});
    }
}

const TManager::TSourceEntry* TManager::DefaultEntry() const {
    if (!sources_ || sources_->empty()) return nullptr;
    const std::string device = ReadDefaultSource(DefaultSourceFile());
    for (const TSourceEntry& entry : *sources_)
        if (entry.Device == device) return &entry;
    return &sources_->front();
}

TW_UINT16 TManager::First(TW_IDENTITY& identity) {
    if (const SANE_Status status = EnsureSources(true); status != SANE_STATUS_GOOD)
        return Fail(DescribeStatus(status).Condition);
    next_ = 0;
    return Next(identity);
}

TW_UINT16 TManager::Next(TW_IDENTITY& identity) {
    if (!sources_ || next_ >= sources_->size()) return TWRC_ENDOFLIST;
    identity = (*sources_)[next_++].Identity;
    return TWRC_SUCCESS;
}

TW_UINT16 TManager::Default(TW_IDENTITY& identity) {
    if (const SANE_Status status = EnsureSources(false); status != SANE_STATUS_GOOD)
        return Fail(DescribeStatus(status).Condition);
    const TSourceEntry* entry = DefaultEntry();
    if (!entry) return Fail(TWCC_NODS);
    identity = entry->Identity;
    return TWRC_SUCCESS;
}

TW_UINT16 TManager::UserSelect(TW_IDENTITY& identity) {
    const std::filesystem::path file = DefaultSourceFile();
    TSelectSourceDialog dialog(LiveWidget(parent_), use_, ReadDefaultSource(file));
    std::optional<std::vector<TDeviceInfo>> listed;
    const std::optional<TDeviceInfo> chosen = dialog.Choose(listed);
    if (listed) SetSources(*listed);
    // Closed after "No scanner was found": there is no default for the program to go on
    // with, and it is told so rather than that the user cancelled.
    if (!chosen && listed && listed->empty()) return Fail(TWCC_NODS);
    if (!chosen) return TWRC_CANCEL;
    WriteDefaultSource(file, chosen->Name);
    for (const TSourceEntry& entry : *sources_)
        if (entry.Device == chosen->Name) identity = entry.Identity;
    return TWRC_SUCCESS;
}

TW_UINT16 TManager::OpenSource(TW_IDENTITY& identity) {
    if (source_) return Fail(TWCC_MAXCONNECTIONS);
    if (const SANE_Status status = EnsureSources(false); status != SANE_STATUS_GOOD)
        return Fail(DescribeStatus(status).Condition);
    const TSourceEntry* entry = nullptr;
    if (identity.Id == 0 && identity.ProductName[0] == '\0') {
        entry = DefaultEntry();
    } else {
        for (const TSourceEntry& e : *sources_)
            if ((identity.Id != 0 && e.Identity.Id == identity.Id) ||
                (identity.Id == 0 &&
                 std::strncmp(e.Identity.ProductName, identity.ProductName, sizeof identity.ProductName) == 0))
                entry = &e;
    }
    if (!entry) return Fail(TWCC_NODS);
    std::unique_ptr<TSaneDevice> device;
    if (const SANE_Status status = TSaneDevice::Open(use_, entry->Device, device); status != SANE_STATUS_GOOD) {
        // The program reports only that opening failed; the reason, a missing permission
        // most often, is for the user to read here.
        const TFailure failure = DescribeStatus(status);
        QMessageBox::warning(
            LiveWidget(parent_), "Scanner",
            QString::fromStdString("The scanner " + entry->Device + " could not be opened.\n\n" + failure.Message));
        return Fail(failure.Condition == TWCC_SUCCESS ? TWCC_BUMMER : failure.Condition);
    }
    source_ = std::make_unique<TSaneSource>(std::move(device), entry->Identity, entry->Title);
    identity = entry->Identity;
    return TWRC_SUCCESS;
}

TW_UINT16 TManager::CloseSource(const TW_IDENTITY& identity) {
    if (!source_ || identity.Id != source_->Identity().Id) return Fail(TWCC_NODS);
    if (source_->State() != 4) return Fail(TWCC_SEQERROR);
    source_.reset();
    return TWRC_SUCCESS;
}

}  // namespace sanedsm
