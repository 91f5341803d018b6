#include "SaneTestSupport.h"
#include "ScratchFolder.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace sanetest {

namespace {
// libsane reads SANE_CONFIG_DIR once and keeps it for the process, so every test of a
// process writes its configuration into the same folder.
struct TSaneConfigFolder {
    TScratchFolder Scratch{"corvalux-sane-config"};
    const std::filesystem::path& Path = Scratch.Path();
};
}  // namespace

bool MakeTestBackendConfig(const std::filesystem::path& folder, const std::map<std::string, std::string>& overrides) {
    static TSaneConfigFolder sane;
    std::ifstream in("/etc/sane.d/test.conf");
    if (!in) return false;
    std::filesystem::create_directories(sane.Path);
    std::filesystem::create_directories(folder / "config");
    const auto backends = overrides.find(BackendsKey);
    std::ofstream(sane.Path / "dll.conf") << (backends != overrides.end() ? backends->second : "test\n");
    std::ofstream out(sane.Path / "test.conf");
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (!overrides.count(key)) out << line << '\n';
    }
    for (const auto& [key, value] : overrides)
        if (key != BackendsKey) out << key << ' ' << value << '\n';
    ::setenv("SANE_CONFIG_DIR", sane.Path.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    return true;
}

QWidget* VisibleWindow(const char* objectName) {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && window->objectName() == objectName) return window;
    return nullptr;
}

TDialogDriver::TDialogDriver(std::vector<TStep> steps, int timeoutMilliseconds)
    : steps_(std::move(steps)), ticksLeft_(timeoutMilliseconds / 10) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [this] { Tick(); });
    timer->start(10);
    timer_ = timer;
}

TDialogDriver::~TDialogDriver() { delete timer_; }

void TDialogDriver::Tick() {
    if (Finished()) return;
    if (--ticksLeft_ < 0) {
        ADD_FAILURE() << "the dialogs did not reach step " << next_ + 1;
        if (auto* select = qobject_cast<QDialog*>(VisibleWindow("SelectSourceDialog"))) select->reject();
        if (QWidget* source = VisibleWindow("SaneSourceDialog")) {
            if (auto* cancel = Child<QPushButton>(source, "CancelButton"); cancel && cancel->isEnabled())
                cancel->click();
            if (auto* close = Child<QPushButton>(source, "CloseButton"); close && close->isEnabled()) close->click();
        }
        ticksLeft_ = 100;
        return;
    }
    if (steps_[next_]()) ++next_;
}

TDialogDriver::TStep ChooseDevice(const std::string& device, std::vector<std::string>* listed) {
    return [device, listed] {
        QWidget* dialog = VisibleWindow("SelectSourceDialog");
        auto* list = Child<QListWidget>(dialog, "SourceList");
        if (!list || !list->isEnabled() || list->count() == 0) return false;
        int row = -1;
        for (int i = 0; i < list->count(); ++i) {
            const std::string name = list->item(i)->data(Qt::UserRole).toString().toStdString();
            if (listed) listed->push_back(name);
            EXPECT_NE(list->item(i)->text().toStdString().find(name), std::string::npos);
            if (name == device) row = i;
        }
        EXPECT_GE(row, 0) << device << " is not listed";
        list->setCurrentRow(row);
        QTest::mouseClick(Child<QPushButton>(dialog, "OkButton"), Qt::LeftButton);
        return true;
    };
}

TDialogDriver::TStep PressScan(const QString& mode, int dpi) {
    return [mode, dpi] {
        QWidget* dialog = VisibleWindow("SaneSourceDialog");
        auto* scan = Child<QPushButton>(dialog, "ScanButton");
        if (!scan || !scan->isEnabled()) return false;
        auto* modes = Child<QComboBox>(dialog, "ModeCombo");
        auto* resolutions = Child<QComboBox>(dialog, "ResolutionCombo");
        EXPECT_GE(modes->findText(mode), 0) << mode.toStdString();
        EXPECT_GE(resolutions->findData(dpi), 0) << dpi;
        modes->setCurrentIndex(modes->findText(mode));
        resolutions->setCurrentIndex(resolutions->findData(dpi));
        QTest::mouseClick(scan, Qt::LeftButton);
        return true;
    };
}

TDialogDriver::TStep CloseAfterMessage(std::string* message) {
    return [message] {
        QWidget* dialog = VisibleWindow("SaneSourceDialog");
        auto* close = Child<QPushButton>(dialog, "CloseButton");
        auto* label = Child<QLabel>(dialog, "MessageLabel");
        if (!close || !close->isEnabled() || label->text().isEmpty()) return false;
        *message = label->text().toStdString();
        QTest::mouseClick(close, Qt::LeftButton);
        return true;
    };
}

namespace {
void SetOption(SANE_Handle handle, const char* name, const void* value) {
    SANE_Int count = 0;
    sane_control_option(handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr);
    for (SANE_Int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle, i);
        if (!d || !d->name || std::strcmp(d->name, name) != 0) continue;
        SANE_Word word;
        void* data = const_cast<void*>(value);
        if (d->type == SANE_TYPE_FIXED) {
            word = SANE_FIX(*static_cast<const int*>(value));
            data = &word;
        }
        ASSERT_EQ(sane_control_option(handle, i, SANE_ACTION_SET_VALUE, data, nullptr), SANE_STATUS_GOOD) << name;
        return;
    }
    ADD_FAILURE() << "no option " << name;
}
}  // namespace

TDirectScan ScanDirectly(const std::string& device, const std::string& mode, int depth, int dpi) {
    TDirectScan scan;
    SANE_Int version;
    EXPECT_EQ(sane_init(&version, nullptr), SANE_STATUS_GOOD);
    SANE_Handle handle = nullptr;
    EXPECT_EQ(sane_open(device.c_str(), &handle), SANE_STATUS_GOOD);
    if (handle) {
        std::vector<char> modeText(mode.begin(), mode.end());
        modeText.push_back('\0');
        SetOption(handle, "mode", modeText.data());
        SetOption(handle, "depth", &depth);
        SetOption(handle, "resolution", &dpi);
        EXPECT_EQ(sane_start(handle), SANE_STATUS_GOOD);
        sane_get_parameters(handle, &scan.Parameters);
        SANE_Byte buffer[32768];
        SANE_Int length = 0;
        while (sane_read(handle, buffer, sizeof buffer, &length) == SANE_STATUS_GOOD)
            scan.Data.insert(scan.Data.end(), buffer, buffer + length);
        sane_cancel(handle);
        sane_close(handle);
    }
    sane_exit();
    return scan;
}

}  // namespace sanetest
