#pragma once
// The print dialog: page orientation, then OK prints the picture on the default printer.
#include <QDialog>
#include <QPageLayout>
#include <functional>

class QRadioButton;
class QPushButton;

class TPrintForm : public QDialog {
public:
    explicit TPrintForm(QWidget* owner);

    // Prints; false when printing failed, which keeps the dialog open.
    std::function<bool(QPageLayout::Orientation)> OnPrint;

    void Button1Click();  // OK
    void Button2Click();  // Cancel

    QRadioButton *RadioButton2, *PortraitRadioButton;
    QPushButton *Button1, *Button2;
};
