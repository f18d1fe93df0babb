#pragma once
#include <QIcon>
#include <QString>

namespace korl {

// Toolbar icons, drawn as vectors so they stay crisp at every size and
// scale factor. Unknown names give an empty icon.
QIcon KorlIcon(const QString& name);

} // namespace korl
