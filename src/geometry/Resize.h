#pragma once
// The resize window: proposes a new size, optionally keeping the aspect ratio.
#include <QDialog>
#include <functional>
#include <string>

class QCheckBox;
class QLabel;
class QPushButton;
class QScrollBar;

class TResizeForm : public QDialog {
public:
    explicit TResizeForm(QWidget* owner);

    // Called by OK with the chosen size, whether to smooth an enlargement, and the size the
    // labels show, against which "enlargement" is judged.
    std::function<void(int width, int height, bool interpolate, int shownWidth, int shownHeight)> OnResize;
    // Shows an information box.
    std::function<void(const std::string& text)> Inform;

    // The menu command: the picture's size into the labels and bars, then show and activate,
    // whether or not the window was already open.
    void Fill(int width, int height);

    void FormActivate();
    void WidthScrollBarChange();
    void HeightScrollBarChange();
    void RatioCheckBoxClick();
    void StandardSizeClick(int width, int height);
    void OKButtonClick();
    void CancelButtonClick();

    QLabel *WidthLabel, *HeightLabel, *NewWidthLabel, *NewHeightLabel;
    QCheckBox *RatioCheckBox, *InterpolationCheckBox;
    QScrollBar *WidthScrollBar, *HeightScrollBar;
    QPushButton* StandardButtons[6];
    QPushButton *OKButton, *CancelButton;

protected:
    void showEvent(QShowEvent* event) override;

private:
    int pictureWidth_ = 0, pictureHeight_ = 0;  // as the labels show them
};
