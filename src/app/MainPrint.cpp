// Printing the picture on the default printer, three printer dots per picture pixel.
#include <QPainter>
#include <QPrinterInfo>

#include "Errors.h"
#include "Forms.h"
#include "Main.h"
#include "QtPicture.h"

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
    painter.drawImage(QRect(0, 0, 3 * WorkingImage.Width(), 3 * WorkingImage.Height()), ImageView(WorkingImage));
    if (!painter.end()) throw ECorvalux("The printer could not finish the job");
}
