#include "help/Sitemap.h"

#include "help/HelpText.h"

#include <QRegularExpression>

namespace tegaro {

namespace {

QString attribute(const QString& attrs, QStringView wanted)
{
    static const QRegularExpression attr(
        QStringLiteral(R"re(([A-Za-z_:][-\w:.]*)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s"'>]+)))re"));
    auto it = attr.globalMatch(attrs);
    while (it.hasNext()) {
        const auto m = it.next();
        if (m.captured(1).compare(wanted, Qt::CaseInsensitive) == 0) {
            for (int group = 2; group <= 4; ++group)
                if (m.capturedStart(group) >= 0)
                    return unescapeHtml(m.captured(group));
            return {};
        }
    }
    return {};
}

} // namespace

QList<ContentsEntry> parseSitemap(const QString& html)
{
    // Attribute values may hold ">", so quoted parts are taken whole.
    static const QRegularExpression tag(
        QStringLiteral(R"re(<\s*(/?)\s*([A-Za-z]+)((?:[^>"']|"[^"]*"|'[^']*')*)>)re"));

    QList<ContentsEntry> root;
    // The lists along the way to the current level. Only the innermost one
    // grows, so the pointers to the outer ones stay valid.
    QList<QList<ContentsEntry>*> levels{&root};
    bool inObject = false;
    ContentsEntry entry;

    auto it = tag.globalMatch(html);
    while (it.hasNext()) {
        const auto m = it.next();
        const bool closing = !m.captured(1).isEmpty();
        const QString name = m.captured(2).toLower();
        const QString attrs = m.captured(3);
        if (name == u"ul") {
            if (closing) {
                if (levels.size() > 1)
                    levels.removeLast();
            } else {
                // A list before any item stays on the same level.
                QList<ContentsEntry>* current = levels.last();
                levels.append(current->isEmpty() ? current : &current->last().children);
            }
        } else if (name == u"object") {
            if (!closing) {
                inObject = attribute(attrs, u"type").compare(u"text/sitemap", Qt::CaseInsensitive) == 0;
                entry = {};
            } else if (inObject) {
                inObject = false;
                if (!entry.name.isEmpty() || !entry.local.isEmpty())
                    levels.last()->append(entry);
            }
        } else if (name == u"param" && inObject) {
            const QString param = attribute(attrs, u"name");
            // An item may repeat Name for other languages; the first one counts.
            if (param.compare(u"name", Qt::CaseInsensitive) == 0 && entry.name.isEmpty())
                entry.name = attribute(attrs, u"value").trimmed();
            else if (param.compare(u"local", Qt::CaseInsensitive) == 0 && entry.local.isEmpty())
                entry.local = attribute(attrs, u"value").trimmed();
        }
    }
    return root;
}

} // namespace tegaro
