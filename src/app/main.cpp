// The program: the application, its nine windows, and the message loop.
#include <QApplication>

#include "Forms.h"
#include "Glyphs.h"
#include "QtUserInterface.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvalux"));
    QApplication::setApplicationDisplayName(QString());
    QApplication::setWindowIcon(ProgramGlyph());
    // Only the main window's closing ends the program, whatever else is open.
    QApplication::setQuitOnLastWindowClosed(false);

    const QStringList arguments = QApplication::arguments();
    QtUserInterface ui;
    TForms forms(ui, arguments.size() > 1 ? arguments.at(1).toStdString() : std::string());
    forms.MainForm->OnClosed = [] { QApplication::quit(); };
    forms.MainForm->show();
    return application.exec();
}
