#include "db/ConnectionText.h"

#include <QStringList>

namespace tegaro {

namespace {
const QString kHead = QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=False;User ID=");
const QString kCatalog = QStringLiteral(";Initial Catalog=MUNEYA;Data Source=");
const QString kFixed =
    QStringLiteral(";Use Procedure for Prepare=1;Auto Translate=True;Packet Size=4096;Workstation ID=");
const QString kPassword = QStringLiteral(";PASSWORD=");

// The exact layout we build; values may hold any character.
bool parseOwnText(const QString& text, ConnectionSettings& out)
{
    if (!text.startsWith(kHead))
        return false;
    qsizetype userEnd = text.indexOf(kCatalog, kHead.size());
    if (userEnd < 0)
        return false;
    qsizetype serverStart = userEnd + kCatalog.size();
    qsizetype serverEnd = text.indexOf(kFixed, serverStart);
    if (serverEnd < 0)
        return false;
    QString server = text.mid(serverStart, serverEnd - serverStart);
    qsizetype wsStart = serverEnd + kFixed.size();
    // The workstation id repeats the server name, so its length is known.
    if (text.mid(wsStart, server.size()) != server
        || text.mid(wsStart + server.size(), kPassword.size()) != kPassword)
        return false;
    out.provider = QStringLiteral("SQLOLEDB.1");
    out.userId = text.mid(kHead.size(), userEnd - kHead.size());
    out.catalog = QStringLiteral("MUNEYA");
    out.dataSource = server;
    out.workstationId = server;
    out.password = text.mid(wsStart + server.size() + kPassword.size());
    out.packetSize = 4096;
    return true;
}

void parsePairs(const QString& text, ConnectionSettings& out)
{
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype eq = text.indexOf(u'=', pos);
        if (eq < 0)
            break;
        QString key = text.mid(pos, eq - pos).trimmed().toLower();
        if (key == u"password" || key == u"pwd") {
            out.password = text.mid(eq + 1);
            return;
        }
        qsizetype semi = text.indexOf(u';', eq + 1);
        if (semi < 0)
            semi = text.size();
        QString value = text.mid(eq + 1, semi - eq - 1);
        if (key == u"provider")
            out.provider = value;
        else if (key == u"user id" || key == u"uid")
            out.userId = value;
        else if (key == u"initial catalog" || key == u"database")
            out.catalog = value;
        else if (key == u"data source" || key == u"server")
            out.dataSource = value;
        else if (key == u"workstation id")
            out.workstationId = value;
        else if (key == u"packet size")
            out.packetSize = value.toInt() > 0 ? value.toInt() : 4096;
        pos = semi + 1;
    }
}
} // namespace

QString buildConnectionText(const QString& server, const QString& user, const QString& password)
{
    return QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=False;")
        + QStringLiteral("User ID=") + user + u';'
        + QStringLiteral("Initial Catalog=MUNEYA;")
        + QStringLiteral("Data Source=") + server + u';'
        + QStringLiteral("Use Procedure for Prepare=1;Auto Translate=True;Packet Size=4096;")
        + QStringLiteral("Workstation ID=") + server + u';'
        + QStringLiteral("PASSWORD=") + password;
}

ConnectionSettings parseConnectionText(const QString& text)
{
    ConnectionSettings out;
    if (!parseOwnText(text, out))
        parsePairs(text, out);
    return out;
}

} // namespace tegaro
