#include "twain/sane/SelectSourceDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "twain/sane/SaneFailure.h"
#include "twain/sane/SourceNames.h"

namespace sanedsm {

TSelectSourceDialog::TSelectSourceDialog(QWidget* parent, std::shared_ptr<TSaneUse> use, std::string defaultDevice)
    : QDialog(parent), use_(std::move(use)), defaultDevice_(std::move(defaultDevice)) {
    setObjectName("SelectSourceDialog");
    setWindowTitle("Select Source");
    auto* layout = new QVBoxLayout(this);
    status_ = new QLabel(this);
    status_->setObjectName("StatusLabel");
    status_->setWordWrap(true);
    list_ = new QListWidget(this);
    list_->setObjectName("SourceList");
    list_->setMinimumSize(360, 160);
    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(QDialogButtonBox::Ok);
    ok_->setObjectName("OkButton");
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName("CancelButton");
    again_ = buttons->addButton("&Search again", QDialogButtonBox::ActionRole);
    again_->setObjectName("SearchButton");
    layout->addWidget(status_);
    layout->addWidget(list_);
    layout->addWidget(buttons);

    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(again_, &QPushButton::clicked, this, [this] { Search(); });
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { accept(); });
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) { ok_->setEnabled(row >= 0); });
}

std::optional<TDeviceInfo> TSelectSourceDialog::Choose(std::optional<std::vector<TDeviceInfo>>& listed) {
    Search();
    const int answer = exec();
    ++search_;  // a search still running answers nobody now
    listed = devices_;
    const int row = list_->currentRow();
    if (answer != QDialog::Accepted || !devices_ || row < 0 || row >= int(devices_->size())) return std::nullopt;
    return (*devices_)[std::size_t(row)];
}

void TSelectSourceDialog::Search() {
    const int search = ++search_;
    list_->clear();
    list_->setEnabled(false);
    ok_->setEnabled(false);
    again_->setEnabled(false);
    status_->setText("Searching for scanners...");
    QPointer<TSelectSourceDialog> self(this);
    ListDevicesInBackground(use_, [self, search](SANE_Status status, std::vector<TDeviceInfo> devices) {
        if (self && self->search_ == search) self->Listed(status, std::move(devices));
    });
}

void TSelectSourceDialog::Listed(SANE_Status status, std::vector<TDeviceInfo> devices) {
    again_->setEnabled(true);
    if (status != SANE_STATUS_GOOD) {
        status_->setText(QString::fromStdString("The scanners could not be listed. " + DescribeStatus(status).Message));
        return;
    }
    devices_ = std::move(devices);
    if (devices_->empty()) {
        status_->setText(
            "No scanner was found. Check that it is switched on and connected, and that your user may use it "
            "(usually as a member of the \"scanner\" group).");
        return;
    }
    const std::vector<std::string> names = SourceNames(*devices_, WholeName);
    int chosen = 0;
    for (std::size_t i = 0; i < devices_->size(); ++i) {
        const TDeviceInfo& d = (*devices_)[i];
        auto* item = new QListWidgetItem(QString::fromStdString(names[i] + "  (" + d.Name + ")"), list_);
        item->setData(Qt::UserRole, QString::fromStdString(d.Name));
        if (d.Name == defaultDevice_) chosen = int(i);
    }
    status_->setText("Choose the scanner or camera to use:");
    list_->setEnabled(true);
    list_->setCurrentRow(chosen);
    list_->setFocus();
}

}  // namespace sanedsm
