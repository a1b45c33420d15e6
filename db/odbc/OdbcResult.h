#pragma once
// One statement of the wide-character ODBC driver. Parameters are bound by
// position and sent with the statement in one round trip. Rows are read
// whole as they are fetched; a result that may scroll keeps the rows read.
#include "db/odbc/OdbcValues.h"

#include <QList>
#include <QSqlRecord>
#include <QSqlResult>

namespace tegaro::odbc {

class Driver;

class Result : public QSqlResult {
public:
    explicit Result(const Driver* driver);
    ~Result() override;

protected:
    QVariant data(int field) override;
    bool isNull(int field) override;
    bool reset(const QString& query) override;
    bool prepare(const QString& query) override;
    bool exec() override;
    bool fetch(int index) override;
    bool fetchFirst() override;
    bool fetchLast() override;
    bool fetchNext() override;
    int size() override { return -1; }
    int numRowsAffected() override { return int(rowsAffected_); }
    QSqlRecord record() const override { return record_; }
    void detachFromResultSet() override;
    QVariant handle() const override;

private:
    const Driver* odbcDriver() const;
    bool statementReady();
    bool run(const QVariantList& values);
    bool describe();
    bool readRow(QList<QVariant>& row);
    bool fail(const QString& what);
    void release();

    SQLHSTMT statement_ = nullptr;
    int generation_ = -1;
    QList<Column> columns_;
    QSqlRecord record_;
    QList<QVariant> row_;
    QList<QList<QVariant>> rows_; // rows read so far when the result may scroll
    bool exhausted_ = false;
    SQLLEN rowsAffected_ = -1;
    double fetchMs_ = 0; // time in SQLFetch, for the trace
};

} // namespace tegaro::odbc
