#pragma once
// The table of contents of a help file: an HTML page of nested lists whose
// items are <OBJECT type="text/sitemap"> blocks with Name and Local params.
#include <QList>
#include <QString>

namespace tegaro {

struct ContentsEntry {
    QString name;
    QString local; // the topic as written, relative to the file ("x.html#a"); may be empty
    QList<ContentsEntry> children;
};

QList<ContentsEntry> parseSitemap(const QString& html);

} // namespace tegaro
