// The program: the application, its nine windows, and the message loop.
#include <QApplication>

#include "Glyphs.h"
#include "Program.h"
#include "QtUserInterface.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvalux"));
    QApplication::setApplicationDisplayName(QString());
    QApplication::setWindowIcon(ProgramGlyph());

    const QStringList arguments = QApplication::arguments();
    QtUserInterface ui;
    return RunProgram(ui, arguments.size() > 1 ? arguments.at(1).toStdString() : std::string());
}
