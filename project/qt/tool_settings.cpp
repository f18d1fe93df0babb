#include "project/qt/tool_settings.h"

#include <QSettings>

namespace korl {

ToolOverrides ToolOverridesFromSettings() {
    ToolOverrides overrides;
    QSettings settings;
    settings.beginGroup("Tools");
    for (const char* key :
         {ToolLayout::kToolRoot, ToolLayout::kToolchainRoot, ToolLayout::kCompiler, ToolLayout::kDemangler,
          ToolLayout::kMake, ToolLayout::kDebugger, ToolLayout::kSystemCInclude, ToolLayout::kScvInclude,
          ToolLayout::kTlmInclude, ToolLayout::kSystemCLib, ToolLayout::kScvLib}) {
        const QString value = settings.value(key).toString().trimmed();
        if (!value.isEmpty()) overrides[key] = value.toStdString();
    }
    settings.endGroup();
    return overrides;
}

ToolLayout ToolLayoutFromSettings() { return CurrentToolLayout(ToolOverridesFromSettings()); }

} // namespace korl
