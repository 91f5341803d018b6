// Printing the picture on the default printer, three printer dots per picture pixel.
#include <QPainter>
#include <QPrinterInfo>

#include "common/Errors.h"
#include "app/Forms.h"
#include "app/Main.h"
#include "qtshared/ScreenColours.h"

namespace {
std::unique_ptr<QPrinter> SystemDefaultPrinter() {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) return nullptr;
    return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}
}  // namespace

void TMainForm::PrintMenuClick() {
    forms_.PrintForm->show();
    forms_.PrintForm->raise();
}

void TMainForm::Print(QPageLayout::Orientation orientation) {
    std::unique_ptr<QPrinter> printer = OpenDefaultPrinter ? OpenDefaultPrinter() : SystemDefaultPrinter();
    if (!printer) throw ECorvalux("There is no default printer currently selected");
    printer->setPageOrientation(orientation);
    // From the top-left corner of the printable area, in device pixels; what does not fit on
    // the page is cut off, not scaled down.
    QPainter painter;
    if (!painter.begin(printer.get())) throw ECorvalux("The printer could not start the job");
    // In the colours the picture's profile gives, as the window shows it.
    const QRect whole(0, 0, WorkingImage.Width(), WorkingImage.Height());
    painter.drawImage(QRect(0, 0, 3 * whole.width(), 3 * whole.height()),
                      ScreenImage(WorkingImage, whole, screenColours_.For(WorkingMetadata)));
    if (!painter.end()) throw ECorvalux("The printer could not finish the job");
}
