#include <gtest/gtest.h>

#include "frame/panes.h"
#include "helpers.h"

#include <QCoreApplication>
#include <QKeyEvent>

TEST(Console, AppendsAndForwardsTypedKeys) {
    Korl_OutputWindow console;
    console.AppendConsole("sim> ");
    console.AppendConsoleLine("\r\nKorl: Execution Done!");
    EXPECT_EQ(console.toPlainText(), "sim> \nKorl: Execution Done!\n");

    // No run: typing only changes the pane.
    QTest::keyClicks(&console, "a");
    EXPECT_TRUE(console.toPlainText().endsWith("a"));

    std::string sent;
    console.SetInputSink([&](const std::string& k) { sent += k; });
    QTest::keyClicks(&console, "42");
    QTest::keyClick(&console, Qt::Key_Return);
    EXPECT_EQ(sent, "42\n");
    EXPECT_EQ(console.PendingKeystroke(), "\n");
    EXPECT_TRUE(console.toPlainText().contains("a42"));

    console.ClearConsole();
    EXPECT_TRUE(console.toPlainText().isEmpty());
}

TEST(Console, LooksLikeATerminal) {
    Korl_OutputWindow console;
    EXPECT_EQ(console.palette().color(QPalette::Base), QColor(Qt::black));
    EXPECT_EQ(console.palette().color(QPalette::Text), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_TRUE(console.font().fixedPitch());
}

TEST(Console, ControlAltAndEscapeKeysReachTheProgram) {
    Korl_OutputWindow console;
    std::string sent;
    // Without a run they stay the window's.
    QTest::keyClick(&console, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(sent, "");
    console.SetInputSink([&](const std::string& k) { sent += k; });
    QTest::keyClick(&console, Qt::Key_D, Qt::ControlModifier);
    QTest::keyClick(&console, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(&console, Qt::Key_Escape);
    QTest::keyClick(&console, Qt::Key_X, Qt::AltModifier);
    EXPECT_EQ(sent, std::string("\x04\x03\x1b\x1bx"));
    // The menus' shortcuts do not take them while the program reads.
    QKeyEvent over(QEvent::ShortcutOverride, Qt::Key_D, Qt::ControlModifier);
    QCoreApplication::sendEvent(&console, &over);
    EXPECT_TRUE(over.isAccepted());
    QKeyEvent f5(QEvent::ShortcutOverride, Qt::Key_F5, Qt::NoModifier);
    f5.ignore();
    QCoreApplication::sendEvent(&console, &f5);
    EXPECT_FALSE(f5.isAccepted());
}

TEST(Console, OutputBeyondTheLimitSaysHowMuchWasDropped) {
    Korl_OutputWindow console;
    console.SetLineLimit(100);
    for (int i = 0; i < 1000; ++i) console.AppendConsole(QString("line %1\r\n").arg(i));
    const QStringList lines = console.toPlainText().split('\n');
    ASSERT_GT(lines.size(), 50);
    EXPECT_LE(lines.size(), 103);
    EXPECT_EQ(lines.first(), QString("[Korl: %1 earlier lines are not shown]").arg(console.DroppedLines()));
    EXPECT_EQ(lines.at(1), QString("line %1").arg(console.DroppedLines()));
    EXPECT_EQ(lines.at(lines.size() - 2), "line 999");
    console.ClearConsole();
    EXPECT_EQ(console.DroppedLines(), 0);
}
