#include <gtest/gtest.h>

#include <QSettings>

#include "project/qt/tool_settings.h"

using namespace korl;

// A user whose tools live elsewhere points Korl at them in the settings.
TEST(ToolSettings, TheToolsGroupOverridesEachPath) {
    {
        QSettings settings;
        settings.remove("Tools");
    }
    const ToolLayout plain = ToolLayoutFromSettings();
    {
        QSettings settings;
        settings.setValue("Tools/Make", "/opt/tools/bin/gmake");
        settings.setValue("Tools/Debugger", "/opt/gdb/bin/gdb");
        settings.setValue("Tools/Compiler", "  ");
    }
    const ToolOverrides overrides = ToolOverridesFromSettings();
    EXPECT_EQ(overrides.size(), 2u); // blank values are no override
    const ToolLayout layout = ToolLayoutFromSettings();
    EXPECT_EQ(layout.make, "/opt/tools/bin/gmake");
    EXPECT_EQ(layout.debugger, "/opt/gdb/bin/gdb");
    EXPECT_EQ(layout.compiler, plain.compiler);
    QSettings().remove("Tools");
}
