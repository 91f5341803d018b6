#include "custom/Custom.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>
#include <limits>

#include "custom/FilterFile.h"
#include "custom/FormulaCheck.h"
#include "qtshared/WindowFit.h"

const char* const CustomFilterHelpText =
    "Write your own filters!\r\n"
    "\r\n"
    "R1, G1, and B1 are integer values between 0 and 255 corresponding to the Red, \r\n"
    "Green and Blue channels. You can use the following operators and functions: \r\n"
    "\r\n"
    "+, -, *, /, ^, (, ), ABS, ATAN, COS, EXP, LN, ROUND, SIN, SQR, SQRT, TRUNC";

namespace {
const QString Caption = QStringLiteral("Custom filter");

// Filter files are 8-bit text: Latin-1 carries every byte through the edits unchanged.
QString FromFile(const std::string& text) { return QString::fromLatin1(text.data(), qsizetype(text.size())); }
std::string ToFile(const QString& text) { return text.toLatin1().toStdString(); }

QPushButton* Button(QWidget* parent, const char* caption, const char* hint, QSize least) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    if (hint) button->setToolTip(QString::fromLatin1(hint));
    button->setMinimumSize(least);
    // Return in an edit presses nothing.
    button->setAutoDefault(false);
    return button;
}
}  // namespace

TCustomFilterForm::TCustomFilterForm(QWidget* owner)
    : QDialog(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint) {
    setWindowTitle(Caption);

    GroupBox1 = new QGroupBox(QStringLiteral("Filter options"), this);
    auto* options = new QGridLayout(GroupBox1);
    options->setContentsMargins(8, 4, 8, 6);
    options->setVerticalSpacing(4);
    QFont bold = font();
    bold.setBold(true);
    QLabel** labels[3] = {&Label1, &Label2, &Label3};
    QLineEdit** edits[3] = {&REdit, &GEdit, &BEdit};
    const char* names[3] = {"R2 = ", "G2 = ", "B2 = "};
    const char* channels[3] = {"Red", "Green", "Blue"};
    const char* hints[3] = {"This expression controls the Red channel", "This expression controls the Green channel",
                            "This expression controls the Blue channel"};
    for (int i = 0; i < 3; ++i) {
        *labels[i] = new QLabel(QString::fromLatin1(names[i]), GroupBox1);
        options->addWidget(*labels[i], i, 0);
        *edits[i] = new QLineEdit(GroupBox1);
        (*edits[i])->setMinimumWidth(236);
        options->addWidget(*edits[i], i, 1);
        (*edits[i])->setFont(bold);
        (*edits[i])->setToolTip(QString::fromLatin1(hints[i]));
        // A screen reader names each field by its channel, not by the group around them.
        (*edits[i])->setAccessibleName(QString::fromLatin1(channels[i]) + QStringLiteral(" formula"));
        (*edits[i])->setAccessibleDescription(QString::fromLatin1(hints[i]));
        (*labels[i])->setBuddy(*edits[i]);
        // Qt cuts a line edit's text at 32,767 characters unless told otherwise; a longer
        // formula loaded from a file would then be applied, and saved again, cut short.
        (*edits[i])->setMaxLength(std::numeric_limits<int>::max());
    }
    LoadButton = Button(GroupBox1, "&Load", "Load filter file", {80, 24});
    SaveButton = Button(GroupBox1, "&Save", "Save filter file", {80, 24});
    ClearButton = Button(GroupBox1, "Cl&ear", nullptr, {80, 24});
    for (int i = 0; QPushButton * button : {LoadButton, SaveButton, ClearButton}) options->addWidget(button, i++, 2);
    // Outside the layout: it sits on the group's frame, at its top right.
    HelpButton = Button(GroupBox1, "?", "Help", {20, 18});
    HelpButton->setMaximumSize(20, 18);
    OKButton = Button(this, "&OK", "OK", {81, 25});
    CancelButton = Button(this, "&Cancel", "Cancel", {81, 25});
    SaveButton->setEnabled(false);
    ClearButton->setEnabled(false);
    OKButton->setEnabled(false);

    Label4 = new QLabel(QStringLiteral("Warning! Custom filters are slow due to function parsing. A normal size image "
                                       "may take minutes to redraw!"),
                        this);
    Label4->setWordWrap(true);
    QPalette red = Label4->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    Label4->setPalette(red);

    auto* commands = new QVBoxLayout;
    commands->setContentsMargins(0, 8, 0, 0);
    commands->addWidget(OKButton);
    commands->addWidget(CancelButton);
    commands->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(GroupBox1, 1);
    top->addLayout(commands);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 2, 8, 3);
    layout->setSpacing(4);
    layout->addLayout(top);
    layout->addWidget(Label4);
    // 487 x 153 while everything fits in it, larger where the font needs more; the warning
    // is wrapped at the width the window gets and shown whole.
    setFixedSize(FittedSize({487, 153}, *this));
    layout->activate();
    HelpButton->move(GroupBox1->width() - HelpButton->width() - 6, 0);

    // textChanged fires for typing and for assignments alike, as the enabling rule wants.
    connect(REdit, &QLineEdit::textChanged, this, [this] { REditChange(); });
    connect(GEdit, &QLineEdit::textChanged, this, [this] { GEditChange(); });
    connect(BEdit, &QLineEdit::textChanged, this, [this] { BEditChange(); });
    connect(LoadButton, &QPushButton::clicked, this, [this] { LoadButtonClick(); });
    connect(SaveButton, &QPushButton::clicked, this, [this] { SaveButtonClick(); });
    connect(ClearButton, &QPushButton::clicked, this, [this] { ClearButtonClick(); });
    connect(HelpButton, &QPushButton::clicked, this, [this] { HelpButtonClick(); });
    connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
}

void TCustomFilterForm::Open() {
    if (SetMainEnabled) SetMainEnabled(false);
    CentreOnScreen(*this);
    show();
    raise();
    activateWindow();
}

TFilterFormulas TCustomFilterForm::Formulas() const {
    return {ToFile(REdit->text()), ToFile(GEdit->text()), ToFile(BEdit->text())};
}

void TCustomFilterForm::REditChange() { UpdateButtons(); }
void TCustomFilterForm::GEditChange() { UpdateButtons(); }
void TCustomFilterForm::BEditChange() { UpdateButtons(); }

// The identity filter and a missing formula leave nothing to apply or keep.
void TCustomFilterForm::UpdateButtons() {
    const bool identity = REdit->text() == QLatin1String("R1") && GEdit->text() == QLatin1String("G1") &&
                          BEdit->text() == QLatin1String("B1");
    const bool complete = !REdit->text().isEmpty() && !GEdit->text().isEmpty() && !BEdit->text().isEmpty();
    const bool enabled = !identity && complete;
    SaveButton->setEnabled(enabled);
    OKButton->setEnabled(enabled);
    ClearButton->setEnabled(enabled);
}

void TCustomFilterForm::SetFormulas(const TFilterFormulas& formulas) {
    REdit->setText(FromFile(formulas.Red));
    GEdit->setText(FromFile(formulas.Green));
    BEdit->setText(FromFile(formulas.Blue));
}

void TCustomFilterForm::SetFileCaption(const std::string& path) {
    setWindowTitle(Caption + QStringLiteral(" - ") + QString::fromStdString(path));
}

void TCustomFilterForm::LoadButtonClick() {
    const std::optional<std::string> path = OpenFilterDialog ? OpenFilterDialog() : std::nullopt;
    if (!path) return;
    TFilterFormulas formulas;
    try {
        formulas = LoadFilterFile(*path);
    } catch (const std::exception& error) {
        if (ShowError) ShowError(error.what());
        return;  // edits and caption as they were
    }
    SetFormulas(formulas);
    SetFileCaption(*path);
}

void TCustomFilterForm::SaveButtonClick() {
    const std::optional<std::string> path = SaveFilterDialog ? SaveFilterDialog() : std::nullopt;
    if (!path) return;
    std::error_code ignored;
    if (std::filesystem::exists(*path, ignored) && !(Confirm && Confirm("File exists. Overwrite?"))) return;
    try {
        // The spaces are kept as typed.
        SaveFilterFile(*path, Formulas());
    } catch (const std::exception& error) {
        if (ShowError) ShowError(error.what());
        return;  // the old file and the caption as they were
    }
    SetFileCaption(*path);
}

void TCustomFilterForm::ClearButtonClick() {
    REdit->clear();
    GEdit->clear();
    BEdit->clear();
    setWindowTitle(Caption);
    ClearButton->setEnabled(false);
}

void TCustomFilterForm::HelpButtonClick() {
    if (Inform) Inform(CustomFilterHelpText);
}

void TCustomFilterForm::OKButtonClick() {
    const TFilterFormulas formulas = RemoveSpaces(Formulas());
    // A mistyped formula would paint its channel black: say what is wrong and stay open.
    if (const std::optional<std::string> error = FormulasSyntaxError(formulas)) {
        if (Inform) Inform(*error);
        return;
    }
    if (OnApply && !OnApply(formulas.Red, formulas.Green, formulas.Blue)) return;
    CloseWindow();
}

void TCustomFilterForm::CancelButtonClick() { CloseWindow(); }

void TCustomFilterForm::CloseWindow() {
    if (SetMainEnabled) SetMainEnabled(true);
    hide();
}

void TCustomFilterForm::closeEvent(QCloseEvent* event) { event->ignore(); }

void TCustomFilterForm::reject() {}
