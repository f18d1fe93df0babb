#pragma once
// File > Recent Projects and Recent Files: the paths last opened, newest
// first, eight each, kept in the settings.
#include <QString>
#include <QStringList>

class Korl_RecentList {
public:
    static constexpr int kMaxEntries = 8;

    // `key` names the list in the settings ("Recent/Projects").
    explicit Korl_RecentList(QString key) : key_(std::move(key)) {}

    QStringList Entries() const;
    // Puts the path first (once), dropping the oldest beyond eight.
    void Add(const QString& path);
    void Remove(const QString& path);

private:
    void Store(const QStringList& entries) const;
    QString key_;
};
