#pragma once
// The source's own dialog: mode, resolution, scan area and paper source from the device's
// options, Scan and Close, and while a scan runs a progress bar and Cancel. It only shows
// and reports; the source decides.
#include <QDialog>
#include <functional>

#include "twain/sane/SaneDevice.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace sanedsm {

class TSourceDialog : public QDialog {
public:
    // A window of its own, placed over `over` (when given): the program disables its
    // acquisition window while the dialog is up, and a child would be disabled with it.
    TSourceDialog(QWidget* over, const QString& title, const TDeviceOptions& options, const TScanSettings& initial);

    std::function<void()> OnScan, OnCancel, OnClose;

    TScanSettings Settings() const;
    void SetScanning(bool scanning);
    void SetProgress(long long done, long long expected);
    void ShowMessage(const QString& text);
    // After a close request: nothing more to press.
    void SetClosing();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    TDeviceOptions options_;
    bool scanning_ = false;
    QComboBox* mode_;
    QComboBox* resolution_;
    QComboBox* source_;
    QDoubleSpinBox* area_[4];  // left, top, width, height
    QProgressBar* progress_;
    QLabel* message_;
    QPushButton* scan_;
    QPushButton* cancel_;
    QPushButton* close_;
};

}  // namespace sanedsm
