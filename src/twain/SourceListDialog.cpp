#include "twain/SourceListDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

TSourceListDialog::TSourceListDialog(QWidget* parent, const std::vector<TTwainSourceEntry>& sources, int chosen)
    : QDialog(parent) {
    setObjectName("TwainSourceListDialog");
    setWindowTitle("Select Source");
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(sources.empty() ? "No TWAIN source was found. Install the driver of your scanner or "
                                               "camera, then try again."
                                             : "Choose the scanner or camera to use:",
                             this);
    label->setObjectName("StatusLabel");
    label->setWordWrap(true);
    list_ = new QTreeWidget(this);
    list_->setObjectName("SourceList");
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({"Source", "Manufacturer", "Family", "Version"});
    list_->setMinimumSize(420, 160);
    for (const TTwainSourceEntry& source : sources)
        new QTreeWidgetItem(list_,
                            {QString::fromStdString(source.ProductName), QString::fromStdString(source.Manufacturer),
                             QString::fromStdString(source.ProductFamily), QString::fromStdString(source.Version)});
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(QDialogButtonBox::Ok);
    ok_->setObjectName("OkButton");
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName("CancelButton");
    layout->addWidget(label);
    layout->addWidget(list_);
    layout->addWidget(buttons);

    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { accept(); });
    connect(list_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { ok_->setEnabled(current != nullptr); });
    ok_->setEnabled(false);
    if (chosen >= 0 && chosen < list_->topLevelItemCount()) list_->setCurrentItem(list_->topLevelItem(chosen));
    list_->setFocus();
}

std::optional<int> TSourceListDialog::Choose() {
    if (exec() != QDialog::Accepted) return std::nullopt;
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    if (row < 0) return std::nullopt;
    return row;
}

std::optional<int> TTwainUserInterface::ChooseSource(const std::vector<TTwainSourceEntry>& sources, int chosen,
                                                     void* parent) {
    TSourceListDialog dialog(static_cast<QWidget*>(parent), sources, chosen);
    return dialog.Choose();
}
