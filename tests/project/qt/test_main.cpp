// One QApplication for the whole test program; settings go to a private
// directory so tests never touch the user's.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("KORL");
    QCoreApplication::setApplicationName("Korl");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
