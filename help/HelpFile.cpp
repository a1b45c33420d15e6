#include "help/HelpFile.h"

#include "help/HelpText.h"

#include <QFileInfo>
#include <QtEndian>

namespace tegaro {

namespace {

quint32 le32(const QByteArray& bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

quint16 le16(const QByteArray& bytes, qsizetype at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

// A NUL-terminated string inside a system record or the strings table.
QString cString(const QByteArray& bytes, qsizetype at, qsizetype end)
{
    const qsizetype nul = bytes.indexOf('\0', at);
    const qsizetype stop = (nul < 0 || nul > end) ? end : nul;
    return decodeHelpText(QByteArrayView(bytes).sliced(at, stop - at));
}

} // namespace

HelpFile::State HelpFile::open(const QString& path)
{
    archive_.close();
    path_ = path;
    title_.clear();
    defaultTopic_.clear();
    contentsFile_.clear();
    contents_.clear();
    contexts_.clear();

    if (path.isEmpty() || !QFileInfo(path).isFile())
        return state_ = State::Missing;
    if (!archive_.open(path))
        return state_ = State::Unreadable;

    readSystem();
    if (!contentsFile_.isEmpty())
        if (const auto toc = archive_.read(contentsFile_))
            contents_ = parseSitemap(decodeHelpText(*toc));
    readContextMap();
    if (archive_.isBroken()) {
        contents_.clear();
        return state_ = State::Unreadable;
    }

    // Files without a default topic still open on something sensible.
    if (defaultTopic_.isEmpty() || !archive_.contains(defaultTopic_.section(u'#', 0, 0))) {
        defaultTopic_.clear();
        for (const auto& entry : std::as_const(contents_))
            if (!entry.local.isEmpty()) {
                defaultTopic_ = topicPath(entry.local);
                break;
            }
        if (defaultTopic_.isEmpty() && archive_.contains(QStringLiteral("/index.html")))
            defaultTopic_ = QStringLiteral("/index.html");
    }
    return state_ = State::Open;
}

void HelpFile::readSystem()
{
    // A version word, then records of (code, length, data).
    const QByteArray system = archive_.read(QStringLiteral("/#SYSTEM")).value_or(QByteArray());
    qsizetype at = 4;
    while (at + 4 <= system.size()) {
        const quint16 code = le16(system, at);
        const qsizetype length = le16(system, at + 2);
        at += 4;
        if (at + length > system.size())
            break;
        if (code == 0)
            contentsFile_ = topicPath(cString(system, at, at + length));
        else if (code == 2)
            defaultTopic_ = topicPath(cString(system, at, at + length));
        else if (code == 3)
            title_ = cString(system, at, at + length);
        at += length;
    }
}

void HelpFile::readContextMap()
{
    // #IVB holds its byte count, then pairs of (context number, offset into #STRINGS).
    const QByteArray ivb = archive_.read(QStringLiteral("/#IVB")).value_or(QByteArray());
    const QByteArray strings = archive_.read(QStringLiteral("/#STRINGS")).value_or(QByteArray());
    if (ivb.size() < 4)
        return;
    const qsizetype end = qMin<qsizetype>(ivb.size(), 4 + qsizetype(qMin<quint32>(le32(ivb, 0), 1u << 24)));
    for (qsizetype at = 4; at + 8 <= end; at += 8) {
        const quint32 id = le32(ivb, at);
        const quint32 offset = le32(ivb, at + 4);
        if (offset >= quint32(strings.size()) || contexts_.contains(id))
            continue;
        const QString topic = findObject(cString(strings, offset, strings.size()));
        if (!topic.isEmpty())
            contexts_.insert(id, topic);
    }
}

// Some compilers store the topic with the full path of its source file;
// the topic is then the longest tail of that path the file holds.
QString HelpFile::findObject(QString path) const
{
    path = topicPath(path);
    const QString fragment = path.contains(u'#') ? u'#' + path.section(u'#', 1) : QString();
    QString object = path.section(u'#', 0, 0);
    while (!object.isEmpty()) {
        if (archive_.contains(object))
            return object + fragment;
        const qsizetype next = object.indexOf(u'/', 1);
        if (next < 0)
            break;
        object = object.mid(next);
    }
    return {};
}

QString HelpFile::topicForContext(quint32 id) const
{
    return contexts_.value(id, defaultTopic_);
}

QString HelpFile::topicPath(const QString& local)
{
    QString path = local.trimmed();
    path.replace(u'\\', u'/');
    // "ms-its:file.chm::/page.html" names a page of this file.
    const qsizetype inside = path.indexOf(QStringLiteral("::"));
    if (inside >= 0)
        path = path.mid(inside + 2);
    if (path.isEmpty())
        return {};
    if (!path.startsWith(u'/'))
        path.prepend(u'/');
    return path;
}

std::optional<QByteArray> HelpFile::read(const QString& objectPath) const
{
    return archive_.read(objectPath);
}

} // namespace tegaro
