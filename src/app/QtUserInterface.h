#pragma once
// The user interface seam over QMessageBox and QFileDialog.
#include "app/UserInterface.h"

class QWidget;

class QtUserInterface : public TUserInterface {
public:
    void Information(const std::string& text) override;
    bool Confirm(const std::string& text) override;
    void Error(const std::string& text) override;
    void Warning(const std::string& caption, const std::string& text) override;
    std::optional<std::string> OpenPictureFile(const std::string& current) override;
    std::optional<std::string> SavePictureFile(const std::string& current) override;
    std::optional<std::string> OpenFilterFile() override;
    std::optional<std::string> SaveFilterFile() override;

private:
    QWidget* Owner() const;
};
