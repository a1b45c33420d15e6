#include "db/odbc/OdbcLogin.h"

#include <QDir>
#include <QSaveFile>
#include <QTemporaryDir>

namespace tegaro::odbc {

QList<Attribute> parseConnectString(const QString& text)
{
    QList<Attribute> out;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && (text[i] == u';' || text[i] == u' '))
            ++i;
        qsizetype eq = text.indexOf(u'=', i);
        if (eq < 0)
            break;
        // A piece without "=" before its ";" names nothing: left out.
        if (qsizetype semi = text.indexOf(u';', i); semi >= 0 && semi < eq) {
            i = semi + 1;
            continue;
        }
        QString key = text.mid(i, eq - i).trimmed();
        QString value;
        i = eq + 1;
        if (i < n && text[i] == u'{') {
            for (++i; i < n; ++i) {
                if (text[i] == u'}') {
                    if (i + 1 < n && text[i + 1] == u'}') {
                        value += u'}';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i];
            }
            qsizetype semi = text.indexOf(u';', i);
            i = semi < 0 ? n : semi + 1;
        } else {
            qsizetype semi = text.indexOf(u';', i);
            if (semi < 0)
                semi = n;
            value = text.mid(i, semi - i);
            i = semi + 1;
        }
        out.append({key, value});
    }
    return out;
}

std::optional<QString> connectValue(const QString& value)
{
    // Plain up to the ";" for every driver; braces only where needed, and
    // only without "}", which drivers read in different ways.
    if (!value.contains(u';') && !value.startsWith(u'{') && !value.startsWith(u' '))
        return value;
    if (!value.contains(u'}'))
        return u'{' + value + u'}';
    return std::nullopt;
}

QString buildConnectString(const QList<Attribute>& attributes)
{
    QString out;
    for (const Attribute& a : attributes) {
        std::optional<QString> v = connectValue(a.second);
        if (!v) {
            QString doubled = a.second;
            v = u'{' + doubled.replace(u'}', QStringLiteral("}}")) + u'}';
        }
        out += a.first + u'=' + *v + u';';
    }
    return out;
}

namespace {
// Points the driver manager's user data sources at one file while the
// login runs.
class DataSourceFile {
public:
    explicit DataSourceFile(const QString& path) : had_(qEnvironmentVariableIsSet("ODBCINI")), old_(qgetenv("ODBCINI"))
    {
        qputenv("ODBCINI", QFile::encodeName(path));
    }
    ~DataSourceFile()
    {
        if (had_)
            qputenv("ODBCINI", old_);
        else
            qunsetenv("ODBCINI");
    }
    DataSourceFile(const DataSourceFile&) = delete;
    DataSourceFile& operator=(const DataSourceFile&) = delete;

private:
    bool had_;
    QByteArray old_;
};

const QString kDataSource = QStringLiteral("TegaroLogin");

SQLRETURN connectThroughDataSource(SQLHDBC dbc, const QString& connectString, const QString& user, const QString& password)
{
    // The file holds no secret: only where the server is and how to talk to it.
    QTemporaryDir dir;
    if (!dir.isValid())
        return SQL_ERROR;
    QString path = dir.filePath(QStringLiteral("odbc.ini"));
    QByteArray ini = '[' + kDataSource.toUtf8() + "]\n";
    for (const Attribute& a : parseConnectString(connectString)) {
        QString key = a.first.compare(u"DRIVER", Qt::CaseInsensitive) == 0 ? QStringLiteral("Driver") : a.first;
        if (a.second.contains(u'\n') || key.compare(u"UID", Qt::CaseInsensitive) == 0
            || key.compare(u"PWD", Qt::CaseInsensitive) == 0)
            continue;
        ini += key.toUtf8() + '=' + a.second.toUtf8() + '\n';
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(ini) != ini.size() || !file.commit())
        return SQL_ERROR;
    DataSourceFile use(path);
    return SQLConnectW(dbc, wide(kDataSource), SQL_NTS, wide(user), SQL_NTS, wide(password), SQL_NTS);
}
} // namespace

SQLRETURN connectWithLogin(SQLHDBC dbc, const QString& connectString, const QString& user, const QString& password)
{
    QString text = connectString;
    if (!user.isEmpty() || !password.isEmpty()) {
        std::optional<QString> u = connectValue(user);
        std::optional<QString> p = connectValue(password);
        if (!u || !p)
            return connectThroughDataSource(dbc, connectString, user, password);
        if (!text.isEmpty() && !text.endsWith(u';'))
            text += u';';
        text += QStringLiteral("UID=") + *u + QStringLiteral(";PWD=") + *p + u';';
    }
    SQLSMALLINT outLength = 0;
    return SQLDriverConnectW(dbc, nullptr, wide(text), SQL_NTS, nullptr, 0, &outLength, SQL_DRIVER_NOPROMPT);
}

} // namespace tegaro::odbc
