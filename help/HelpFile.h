#pragma once
// One compiled help file as the viewer needs it: its title, default topic,
// contents, context numbers and the bytes of its pages and pictures.
#include "help/ChmArchive.h"
#include "help/Sitemap.h"

#include <QHash>
#include <QList>
#include <QString>

namespace tegaro {

class HelpFile {
public:
    enum class State {
        Closed,
        Missing,
        Unreadable,
        Open
    };

    State open(const QString& path);
    State state() const { return archive_.isBroken() ? State::Unreadable : state_; }
    QString path() const { return path_; }

    QString title() const { return title_; }
    // Topics are object paths with an optional fragment: "/connect.html#ini".
    QString defaultTopic() const { return defaultTopic_; }
    // The topic mapped to a context number, else the default topic.
    QString topicForContext(quint32 id) const;
    const QList<ContentsEntry>& contents() const { return contents_; }

    // A link or Local value written in the file, as an object path.
    static QString topicPath(const QString& local);
    std::optional<QByteArray> read(const QString& objectPath) const;

private:
    void readSystem();
    void readContextMap();
    QString findObject(QString path) const;

    State state_ = State::Closed;
    QString path_;
    ChmArchive archive_;
    QString title_;
    QString defaultTopic_;
    QString contentsFile_;
    QList<ContentsEntry> contents_;
    QHash<quint32, QString> contexts_;
};

} // namespace tegaro
