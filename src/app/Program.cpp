#include "app/Program.h"

#include <QApplication>

#include "app/Forms.h"

void EndProgram() {
    // QApplication::quit() first asks every top-level window to close and gives up if one
    // refuses, as a TWAIN source's dialog does. exit() ends the loops regardless: the
    // acquisition loop returns, the session closes down, and then the main loop returns.
    QCoreApplication::exit(0);
}

int RunProgram(TUserInterface& ui, const std::string& firstArgument, const std::function<void(TForms&)>& started) {
    // Only the main window's closing ends the program, whatever else is open.
    QApplication::setQuitOnLastWindowClosed(false);
    TForms forms(ui, firstArgument);
    forms.MainForm->OnClosed = EndProgram;
    forms.MainForm->show();
    if (started) started(forms);
    return QApplication::exec();
}
