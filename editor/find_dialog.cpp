#include "editor/find_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "editor/edit_control.h"

Korl_FindDialog::Korl_FindDialog(Korl_EditControl* control, bool replace)
    : QDialog(control), control_(control) {
    setModal(false);
    auto* grid = new QGridLayout;
    findBox_ = new QComboBox;
    findBox_->setEditable(true);
    findBox_->setInsertPolicy(QComboBox::NoInsert);
    findBox_->setMinimumWidth(260);
    replaceBox_ = new QComboBox;
    replaceBox_->setEditable(true);
    replaceBox_->setInsertPolicy(QComboBox::NoInsert);
    auto* findLabel = new QLabel(QStringLiteral("Fi&nd what:"));
    findLabel->setBuddy(findBox_);
    replaceLabel_ = new QLabel(QStringLiteral("Re&place with:"));
    replaceLabel_->setBuddy(replaceBox_);
    grid->addWidget(findLabel, 0, 0);
    grid->addWidget(findBox_, 0, 1);
    grid->addWidget(replaceLabel_, 1, 0);
    grid->addWidget(replaceBox_, 1, 1);

    wholeWord_ = new QCheckBox(QStringLiteral("Match &whole word only"));
    matchCase_ = new QCheckBox(QStringLiteral("Match &case"));
    auto* direction = new QGroupBox(QStringLiteral("Direction"));
    up_ = new QRadioButton(QStringLiteral("&Up"));
    down_ = new QRadioButton(QStringLiteral("&Down"));
    down_->setChecked(true);
    auto* dirLayout = new QHBoxLayout(direction);
    dirLayout->addWidget(up_);
    dirLayout->addWidget(down_);
    auto* options = new QHBoxLayout;
    auto* checks = new QVBoxLayout;
    checks->addWidget(wholeWord_);
    checks->addWidget(matchCase_);
    options->addLayout(checks);
    options->addWidget(direction);

    auto* left = new QVBoxLayout;
    left->addLayout(grid);
    left->addLayout(options);
    left->addStretch();

    auto* findButton = new QPushButton(QStringLiteral("&Find Next"));
    findButton->setDefault(true);
    replaceButton_ = new QPushButton(QStringLiteral("&Replace"));
    replaceAllButton_ = new QPushButton(QStringLiteral("Replace &All"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(findButton);
    buttons->addWidget(replaceButton_);
    buttons->addWidget(replaceAllButton_);
    buttons->addWidget(cancel);
    buttons->addStretch();

    auto* top = new QHBoxLayout(this);
    top->addLayout(left, 1);
    top->addLayout(buttons);

    connect(findButton, &QPushButton::clicked, this, &Korl_FindDialog::FindNext);
    connect(replaceButton_, &QPushButton::clicked, this, &Korl_FindDialog::ReplaceOne);
    connect(replaceAllButton_, &QPushButton::clicked, this, &Korl_FindDialog::ReplaceEverything);
    connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
    SetReplaceMode(replace);
}

void Korl_FindDialog::SetReplaceMode(bool replace) {
    setWindowTitle(replace ? QStringLiteral("Replace") : QStringLiteral("Find"));
    replaceLabel_->setVisible(replace);
    replaceBox_->setVisible(replace);
    replaceButton_->setVisible(replace);
    replaceAllButton_->setVisible(replace);
    adjustSize();
}

void Korl_FindDialog::SetFindText(const QString& text) {
    findBox_->setEditText(text);
    findBox_->lineEdit()->selectAll();
    findBox_->setFocus();
}

void Korl_FindDialog::Remember(QComboBox* box) {
    const QString text = box->currentText();
    if (text.isEmpty()) return;
    const int at = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (at >= 0) box->removeItem(at);
    box->insertItem(0, text);
    while (box->count() > 16) box->removeItem(box->count() - 1);
    box->setCurrentIndex(0);
}

void Korl_FindDialog::FindNext() {
    const QString text = findBox_->currentText();
    if (text.isEmpty()) return;
    Remember(findBox_);
    Korl_EditControl::SearchOptions o;
    o.matchCase = matchCase_->isChecked();
    o.wholeWord = wholeWord_->isChecked();
    control_->Find(text, !up_->isChecked(), o);
}

void Korl_FindDialog::ReplaceOne() {
    const QString text = findBox_->currentText();
    if (text.isEmpty()) return;
    Remember(findBox_);
    Remember(replaceBox_);
    Korl_EditControl::SearchOptions o;
    o.matchCase = matchCase_->isChecked();
    o.wholeWord = wholeWord_->isChecked();
    control_->ReplaceSelection(text, replaceBox_->currentText(), o);
}

void Korl_FindDialog::ReplaceEverything() {
    const QString text = findBox_->currentText();
    if (text.isEmpty()) return;
    Remember(findBox_);
    Remember(replaceBox_);
    Korl_EditControl::SearchOptions o;
    o.matchCase = matchCase_->isChecked();
    o.wholeWord = wholeWord_->isChecked();
    control_->ReplaceAll(text, replaceBox_->currentText(), o);
}
