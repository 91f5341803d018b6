// The main window's mouse: making the selection and feeding the zoom window.
#include "app/ClientArea.h"
#include "app/Forms.h"
#include "app/Main.h"
#include "qtshared/QtPicture.h"
#include "image/Region.h"
#include "app/UserInterface.h"
#include "app/View.h"

bool TMainForm::SelectionIsEmpty() const { return DragSelectsNothing(Selection); }

void TMainForm::FormMouseDown(Qt::MouseButton button, int x, int y) {
    if (button == Qt::LeftButton) {
        Selection.Left = x;
        Selection.Top = y;
        clientArea_->DrawCornerMark(x, y);
    } else if (button == Qt::RightButton || button == Qt::MiddleButton) {
        ToggleZoom();
    }
    setWindowTitle(QStringLiteral("Release mouse button to end selection!"));
}

void TMainForm::FormMouseUp(Qt::MouseButton button, int x, int y) {
    if (button == Qt::LeftButton) {
        Selection.Right = x;
        Selection.Bottom = y;
    }
    if (SelectionIsEmpty()) ui_.Information("Nothing selected.\r\nSelecting all.");
    Selection = SelectionAfterDrag(WorkingImage, Selection);
    ReDrawSelection();
}

void TMainForm::SelectionKey(int dx, int dy, bool resize) {
    Selection = SelectionByKey(WorkingImage, Selection, dx, dy, resize);
    ReDrawSelection();
}

void TMainForm::FormMouseMove(int x, int y) {
    const QImage area = ZoomArea(clientArea_->Content(), x, y);
    ZoomImage = BitmapFromImage(area);
    forms_.ZoomForm->ShowArea(area);
}

void TMainForm::ToggleZoom() {
    forms_.ZoomForm->setVisible(!forms_.ZoomForm->isVisible());
    UpdateActions();
}

void TMainForm::ZoomMenuClick() { ToggleZoom(); }
