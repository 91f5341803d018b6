#pragma once
// The program's own list of TWAIN sources, for managers that have no selection box: each
// source's product name, manufacturer, family and version (two sources of one product differ
// there), the default chosen first.
#include <QDialog>
#include <optional>
#include <vector>

#include "twain/TwainUserInterface.h"

class QTreeWidget;
class QPushButton;

class TSourceListDialog : public QDialog {
public:
    TSourceListDialog(QWidget* parent, const std::vector<TTwainSourceEntry>& sources, int chosen);

    // Runs the dialog: the row picked with OK (or a double click), nothing for Cancel.
    std::optional<int> Choose();

private:
    QTreeWidget* list_;
    QPushButton* ok_;
};
