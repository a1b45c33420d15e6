#pragma once
// The one connection of the program (ADOConnection1). It takes the
// connection text of the connect command and works out the backend itself.
#include "db/DatabaseTarget.h"
#include "db/SqlText.h"

#include <QObject>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace tegaro {

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

    void open();  // throws EDatabaseError, password never in the text
    void close(); // closes every record set first
    bool isOpen() const;

    SqlDialect dialect() const { return target_.dialect; }
    QSqlDatabase database() const;

    // Prepared statement with positional values; throws EDatabaseError.
    QSqlQuery exec(const QString& sql, const QVariantList& values = {}, bool forwardOnly = true);
    // The columns of a table in order, with their kinds and key; empty when
    // the table does not exist.
    QList<ColumnInfo> tableColumns(const QString& table);

    QString scrub(const QString& text) const { return scrubSecrets(text, target_.secrets); }

signals:
    void aboutToClose();

private:
    QString text_;
    DatabaseTarget target_;
    QString name_;
    bool loginPrompt_ = false;
    bool haveTarget_ = false;
};

} // namespace tegaro
