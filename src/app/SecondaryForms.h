#pragma once
// The secondary windows that are still empty: each exists for the whole run with its caption,
// and gains its controls when its feature is built.
#include <QDialog>

class TShellForm : public QDialog {
public:
    TShellForm(QWidget* owner, const char* caption) : QDialog(owner, Qt::Tool | Qt::WindowStaysOnTopHint) {
        setWindowTitle(QString::fromLatin1(caption));
    }
};

