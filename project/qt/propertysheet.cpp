#include "project/qt/propertysheet.h"

#include "base/qt/strings.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QSettings>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

QLineEdit* AddField(QVBoxLayout* layout, const QString& label, int id, QWidget* page) {
    auto* l = new QLabel(label, page);
    auto* edit = new QLineEdit(page);
    edit->setObjectName(QString("edit%1").arg(id));
    edit->setMinimumWidth(360);
    l->setBuddy(edit);
    layout->addWidget(l);
    layout->addWidget(edit);
    layout->addSpacing(8);
    return edit;
}

using korl::Q;

} // namespace

Korl_GeneralPropertyPage::Korl_GeneralPropertyPage(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    vcdFileName = AddField(layout, "VCD Filename", 1006, this);
    programArguments = AddField(layout, "Program arguments:", 1007, this);
    auto* jobsLabel = new QLabel("Parallel build jobs (0: one per processor):", this);
    buildJobs = new QSpinBox(this);
    buildJobs->setObjectName("buildJobs");
    buildJobs->setRange(0, 256);
    jobsLabel->setBuddy(buildJobs);
    layout->addWidget(jobsLabel);
    layout->addWidget(buildJobs);
    layout->addStretch();
}

Korl_CppPropertyPage::Korl_CppPropertyPage(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    preprocessor = AddField(layout, "Additional Preprocessors:", 1002, this);
    includes = AddField(layout, "Additional include directories:", 1003, this);
    layout->addStretch();
}

Korl_LinkPropertyPage::Korl_LinkPropertyPage(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    libraries = AddField(layout, "Additional object/library modules:", 1004, this);
    libraryPaths = AddField(layout, "Additional library path:", 1005, this);
    layout->addStretch();
}

Korl_ProjectPropertySheet::Korl_ProjectPropertySheet(korl::Project& project, QWidget* parent)
    : QDialog(parent), project_(project) {
    setObjectName("ProjectPropertySheet");
    setWindowTitle("Project Options");
    tabs_ = new QTabWidget(this);
    general_ = new Korl_GeneralPropertyPage(tabs_);
    cpp_ = new Korl_CppPropertyPage(tabs_);
    link_ = new Korl_LinkPropertyPage(tabs_);
    tabs_->addTab(general_, "General");
    tabs_->addTab(cpp_, "C++");
    tabs_->addTab(link_, "Link");

    general_->vcdFileName->setText(Q(project.VcdFileName()));
    general_->programArguments->setText(Q(project.ProgramArguments()));
    general_->buildJobs->setValue(BuildJobsSetting());
    cpp_->preprocessor->setText(Q(project.ExtraPreprocessor()));
    cpp_->includes->setText(Q(project.ExtraIncludes()));
    link_->libraries->setText(Q(project.ExtraLibraries()));
    link_->libraryPaths->setText(Q(project.ExtraLibraryPaths()));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
}

void Korl_ProjectPropertySheet::Apply() {
    project_.SetVcdFileName(general_->vcdFileName->text().toStdString());
    project_.SetProgramArguments(general_->programArguments->text().toStdString());
    project_.SetExtraPreprocessor(cpp_->preprocessor->text().toStdString());
    project_.SetExtraIncludes(cpp_->includes->text().toStdString());
    project_.SetExtraLibraries(link_->libraries->text().toStdString());
    project_.SetExtraLibraryPaths(link_->libraryPaths->text().toStdString());
    if (general_->buildJobs->value() != BuildJobsSetting()) SetBuildJobsSetting(general_->buildJobs->value());
}

int Korl_ProjectPropertySheet::BuildJobsSetting() {
    QSettings settings;
    const int jobs = settings.value("Build/Jobs", 0).toInt();
    return jobs < 0 || jobs > 256 ? 0 : jobs;
}

void Korl_ProjectPropertySheet::SetBuildJobsSetting(int jobs) {
    QSettings settings;
    settings.setValue("Build/Jobs", jobs);
}

void Korl_ProjectPropertySheet::accept() {
    Apply();
    QDialog::accept();
}
