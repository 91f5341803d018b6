// The program: the application, its nine windows, and the message loop.
#include <QApplication>

#include "app/Glyphs.h"
#include "app/Program.h"
#include "app/QtUserInterface.h"
#include "app/ScaleFactors.h"

int main(int argc, char** argv) {
    KeepScaleFactorsWhole();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvalux"));
    QApplication::setApplicationDisplayName(QString());
    QApplication::setWindowIcon(ProgramGlyph());

    // The name's own bytes (Qt has taken its own options out of argv by now): a name that is
    // not UTF-8 would not survive a QString.
    QtUserInterface ui;
    return RunProgram(ui, argc > 1 ? std::string(argv[1]) : std::string());
}
