#include "frame/recent_files.h"

#include <QSettings>

QStringList Korl_RecentList::Entries() const {
    QStringList entries = QSettings().value(key_).toStringList();
    entries.removeAll(QString());
    entries.removeDuplicates();
    while (entries.size() > kMaxEntries) entries.removeLast();
    return entries;
}

void Korl_RecentList::Add(const QString& path) {
    if (path.isEmpty()) return;
    QStringList entries = Entries();
    entries.removeAll(path);
    entries.prepend(path);
    while (entries.size() > kMaxEntries) entries.removeLast();
    Store(entries);
}

void Korl_RecentList::Remove(const QString& path) {
    QStringList entries = Entries();
    if (entries.removeAll(path) > 0) Store(entries);
}

void Korl_RecentList::Store(const QStringList& entries) const {
    QSettings settings;
    settings.setValue(key_, entries);
    settings.sync();
}
