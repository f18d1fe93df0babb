#include <gtest/gtest.h>

#include "frame/panes.h"
#include "helpers.h"

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
