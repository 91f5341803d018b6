#pragma once
// The retouch window: paints on a copy of the picture with airbrush, lighten and darken, and
// picks colours from it.
#include <QColorTransform>
#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "image/Bitmap.h"
#include "retouch/ColorControls.h"

class QLabel;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QScrollBar;
class QTabWidget;

class TRetouchForm : public QDialog {
public:
    TRetouchForm();

    // Loads the picture to retouch and sizes the window around it. Throws on a bad file.
    void Load(const std::string& path);
    // Moves the window's frame to `topLeft`, shifted as little as needed to keep the window
    // on the screen.
    void MoveWithinScreen(QPoint topLeft);
    // The retouched picture.
    const Bitmap& Picture() const { return picture_; }
    // Turns the picture's numbers into screen colours; none shows them as stored.
    std::optional<QColorTransform> Screen;

    // OK and Cancel are handed to the main window, which takes the picture back or not.
    std::function<void()> OnOk, OnCancel;
    // Shows an error from Reload.
    std::function<void(const std::string&)> ShowError;

    // Mouse handlers of the picture; x and y are picture coordinates.
    void ImageMouseDown(Qt::MouseButton button, int x, int y);
    void ImageMouseMove(int x, int y);
    void ImageMouseUp(Qt::MouseButton button);
    void ReloadButtonClick();

    QRadioButton *AirBrushRadioButton, *LightenRadioButton, *DarkenRadioButton;
    // The tools' pictures: airbrush, lighten, darken, and the eyedropper's.
    QLabel *Image1, *Image2, *Image3, *Image4;
    QScrollBar *SizeScrollBar, *OpacityScrollBar;
    QPushButton *OKButton, *CancelButton, *ReloadButton;
    QTabWidget* PageControl;
    QWidget* ImagePanel;  // scrolls when the picture is larger than the screen allows
    QWidget* Image;       // the picture, one screen pixel per picture pixel
    TColorControls Colors;
    bool Painting = false, Picking = false;

protected:
    void reject() override {
        if (OnCancel) OnCancel();
    }

private:
    void ApplyTool(int x, int y);
    void PickAt(int x, int y);
    void Layout();

    Bitmap picture_;
    std::string path_;
    QScrollArea* pictureArea_;
    QWidget* controls_;
};
