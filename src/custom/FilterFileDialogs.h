#pragma once
// The open and save dialogs for filter files, as the program shows them.
#include <optional>
#include <string>

class QWidget;

enum class FilterDialogKind { Open, Save };

// Qt's own file dialog (not the desktop's) for "Filter files (*.fil)"; a name typed
// without an extension gets ".fil". Nothing when the user cancels. The save dialog does
// not ask about overwriting: the custom filter window asks itself.
std::optional<std::string> RunFilterFileDialog(FilterDialogKind kind, QWidget* parent = nullptr);
