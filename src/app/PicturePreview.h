#pragma once
class QFileDialog;

// Adds a preview pane to Qt's own file dialog: a thumbnail of the picture under the cursor.
void AttachPicturePreview(QFileDialog& dialog);
