#pragma once
// The control's own Find and Replace dialog (one non-modal dialog per control).

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class Korl_EditControl;

class Korl_FindDialog : public QDialog {
    Q_OBJECT
public:
    Korl_FindDialog(Korl_EditControl* control, bool replace);
    void SetReplaceMode(bool replace);
    void SetFindText(const QString& text);

private:
    void FindNext();
    void ReplaceOne();
    void ReplaceEverything();
    void Remember(QComboBox* box);

    Korl_EditControl* control_;
    QComboBox* findBox_;
    QComboBox* replaceBox_;
    QLabel* replaceLabel_;
    QCheckBox* wholeWord_;
    QCheckBox* matchCase_;
    QRadioButton* up_;
    QRadioButton* down_;
    QPushButton* replaceButton_;
    QPushButton* replaceAllButton_;
};
