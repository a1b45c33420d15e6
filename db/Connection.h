#pragma once
// The one connection of the program (ADOConnection1). It takes the
// connection text of the connect command and works out the backend itself.
#include "core/Errors.h"
#include "db/DatabaseTarget.h"
#include "db/SqlText.h"

#include <QHash>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <vector>

namespace tegaro {

// The link to the server broke while a statement ran, or the statement was
// given up after its time: whether the server did the work is not known.
class EDatabaseLinkLost : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

class Connection : public QObject {
    Q_OBJECT
public:
    explicit Connection(QObject* parent = nullptr);
    ~Connection() override;

    // Assigning a different text to an open connection closes it first, so
    // the next open uses the new settings.
    void setConnectionText(const QString& text);
    QString connectionText() const { return text_; }
    // Direct settings, bypassing the connection text (tools and tests).
    void setTarget(const DatabaseTarget& target);
    const DatabaseTarget& target() const { return target_; }

    // Kept for the window's settings; there is never a login prompt.
    void setLoginPrompt(bool on) { loginPrompt_ = on; }
    bool loginPrompt() const { return loginPrompt_; }

    // Throws EDatabaseError, password never in the text; the driver's words
    // go in its detail. A connection found broken is opened again; the
    // record sets keep their rows.
    void open();
    void close(); // closes every record set first
    bool isOpen() const;
    // Asks the server whether the open connection still works (a server
    // restart is only seen this way); false marks it broken for open().
    bool verify();

    SqlDialect dialect() const { return target_.dialect; }
    QSqlDatabase database() const;

    // Prepared statement with positional values; throws EDatabaseError:
    // EDatabaseLinkLost when the link broke while it ran, the waiting
    // message when a row stayed locked or the statement ran too long.
    QSqlQuery exec(const QString& sql, const QVariantList& values = {}, bool forwardOnly = true);
    // The first column of every row as integers, read at once (the keys of
    // a long result); throws EDatabaseError.
    std::vector<qint64> readKeys(const QString& sql, const QVariantList& values = {});
    // The columns of a table in order, with their kinds and key; empty when
    // an embedded table does not exist. Kept while the connection stays open.
    QList<ColumnInfo> tableColumns(const QString& table);
    // The same from a result of "select * from TABLE" already at hand,
    // without a statement of its own on a server.
    QList<ColumnInfo> tableColumns(const QString& table, const QSqlRecord& all);
    // The name of a table's integer key as far as it is known without
    // asking a server: our own tables', or one read before; empty else.
    QString knownKeyColumn(const QString& table);

    QString scrub(const QString& text) const { return scrubSecrets(text, target_.secrets); }

    // For tests: the link breaks at the next statement that writes, before
    // the server sees it or after the server did the work and before its
    // answer comes.
    enum class LinkLoss {
        BeforeRunning,
        AfterRunning
    };
    void loseLinkAtNextWrite(LinkLoss when)
    {
        loss_ = when;
        loseLink_ = true;
    }

signals:
    void aboutToClose();

private:
    [[noreturn]] void fail(const QSqlError& error);
    QList<ColumnInfo> columnsOf(const QString& table, const QSqlRecord& record);
    QString withSession(const QString& sql, const QVariantList& values) const;

    QString text_;
    DatabaseTarget target_;
    QString name_;
    bool loginPrompt_ = false;
    bool haveTarget_ = false;
    bool broken_ = false;
    bool loseLink_ = false;
    LinkLoss loss_ = LinkLoss::AfterRunning;
    // Session settings not sent yet: they go in front of the next statement
    // without parameters, in the same batch.
    QString session_;
    QHash<QString, QList<ColumnInfo>> columns_;
};

} // namespace tegaro
