#pragma once
// The webcam window: pick a capture driver, watch its preview, take snapshots. A snapshot is
// written as "snapshot.bmp" in the program's folder and handed to the main window to load.
#include <QDialog>
#include <functional>
#include <string>

#include "capture/Video.h"

class QComboBox;
class QPushButton;

class TVideoForm : public QDialog {
public:
    explicit TVideoForm(QWidget* owner);
    ~TVideoForm() override;

    // The main window loads the snapshot file: it names the picture after it, opens it and
    // disables Undo. Called after every snapshot attempt, saved or not.
    std::function<void(const std::string& path)> OnSnapshot;
    // The window was shown or hidden (the Webcam menu item's check mark follows it).
    std::function<void()> OnVisibilityChanged;
    // The folder snapshot.bmp is written in (the program's own by default). It may throw: the
    // error goes to the error box and no snapshot is taken.
    std::function<std::string()> SnapshotFolder;
    // Runs a handler's work, showing any error in the program's error box.
    std::function<void(const std::function<void()>&)> RunCommand;
    // Sounds when a snapshot was saved.
    std::function<void()> Beep;

    void FormCreate();
    void DriversComboBoxChange();
    void SnapshotButtonClick();
    void OkButtonClick();
    void FormClose();

    TVideo* VideoSource;
    QComboBox* DriversComboBox;
    QPushButton* SnapshotButton;
    QPushButton* OkButton;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Runs through RunCommand; without one, errors are only logged.
    void Run(const std::function<void()>& work);
    // The connected driver stopped: says why and disconnects it.
    void DriverFailed(const std::string& why);
    // The line the combo box has selected; -1 once the user has typed over the text.
    int SelectedLine() const;
    bool lineTyped_ = false;
};
