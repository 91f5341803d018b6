// The picture dialogs start in the current picture's folder, and Open offers every file too.
#include <QApplication>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/QtUserInterface.h"

TEST(FileDialog, PictureDialogsStartInThePicturesFolder) {
    const QTemporaryDir folder;
    const std::string picture = (folder.path() + QStringLiteral("/photo.jpg")).toStdString();
    QtUserInterface ui;
    for (const bool open : {true, false}) {
        SCOPED_TRACE(open ? "open" : "save");
        QString directory;
        QStringList filters;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            directory = dialog->directory().absolutePath();
            filters = dialog->nameFilters();
            dialog->reject();
        });
        EXPECT_FALSE(open ? ui.OpenPictureFile(picture) : ui.SavePictureFile(picture));
        EXPECT_EQ(directory, folder.path());
        EXPECT_EQ(filters.contains(QStringLiteral("All files (*)")), open);
    }
}
