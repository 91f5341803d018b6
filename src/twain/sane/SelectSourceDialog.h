#pragma once
// The manager's source selection: a list of the SANE devices, filled from a worker thread
// while the dialog says it is searching.
#include <QDialog>
#include <optional>
#include <vector>

#include "twain/sane/SaneLibrary.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace sanedsm {

class TSelectSourceDialog : public QDialog {
public:
    TSelectSourceDialog(QWidget* parent, std::shared_ptr<TSaneUse> use, std::string defaultDevice);

    // Runs the dialog. The device chosen with OK, or nothing for Cancel. `listed` receives
    // the last complete device list, if a search ended.
    std::optional<TDeviceInfo> Choose(std::optional<std::vector<TDeviceInfo>>& listed);

private:
    void Search();
    void Listed(SANE_Status status, std::vector<TDeviceInfo> devices);

    std::shared_ptr<TSaneUse> use_;
    std::string defaultDevice_;
    std::optional<std::vector<TDeviceInfo>> devices_;
    int search_ = 0;  // answers of an earlier search are dropped
    QListWidget* list_;
    QLabel* status_;
    QPushButton* ok_;
    QPushButton* again_;
};

}  // namespace sanedsm
