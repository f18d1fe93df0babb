#pragma once
// Conversions between Qt's text and the pure libraries' UTF-8 strings.
#include <QString>

#include <string>
#include <string_view>

namespace korl {

inline QString Q(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }
inline std::string S(const QString& s) { return s.toStdString(); }

} // namespace korl
