#pragma once
// The "Project Options" sheet: the five option strings of the project on
// three pages, General, C++ and Link. OK passes every value to the
// project's setters; Cancel changes nothing.
#include <QDialog>
#include <QLineEdit>
#include <QSpinBox>

#include "project/project.h"

class QTabWidget;

class Korl_GeneralPropertyPage : public QWidget {
    Q_OBJECT
public:
    explicit Korl_GeneralPropertyPage(QWidget* parent = nullptr);
    QLineEdit* vcdFileName;      // 1006
    QLineEdit* programArguments; // 1007
    QSpinBox* buildJobs;         // parallel build jobs, a setting of this machine (0: one per processor)
};

class Korl_CppPropertyPage : public QWidget {
    Q_OBJECT
public:
    explicit Korl_CppPropertyPage(QWidget* parent = nullptr);
    QLineEdit* preprocessor; // 1002
    QLineEdit* includes;     // 1003
};

class Korl_LinkPropertyPage : public QWidget {
    Q_OBJECT
public:
    explicit Korl_LinkPropertyPage(QWidget* parent = nullptr);
    QLineEdit* libraries;    // 1004
    QLineEdit* libraryPaths; // 1005
};

class Korl_ProjectPropertySheet : public QDialog {
    Q_OBJECT
public:
    Korl_ProjectPropertySheet(korl::Project& project, QWidget* parent = nullptr);

    Korl_GeneralPropertyPage* General() const { return general_; }
    Korl_CppPropertyPage* Cpp() const { return cpp_; }
    Korl_LinkPropertyPage* Link() const { return link_; }
    QTabWidget* Tabs() const { return tabs_; }

    // Passes the page values to the project's setters (what OK does).
    void Apply();

    void accept() override;

    // Jobs a build runs at once, as stored in the settings ("Build/Jobs");
    // 0 means one per processor.
    static int BuildJobsSetting();
    static void SetBuildJobsSetting(int jobs);

private:
    korl::Project& project_;
    QTabWidget* tabs_;
    Korl_GeneralPropertyPage* general_;
    Korl_CppPropertyPage* cpp_;
    Korl_LinkPropertyPage* link_;
};
