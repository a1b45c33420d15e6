#pragma once
#include "DbFixture.h"

#include <QObject>
#include <QTemporaryDir>
#include <memory>

// Our wide-character ODBC driver itself: values both ways, results that
// scroll, row counts and transactions. Over the SQLite ODBC driver, and a
// SQL Server when one is named.
class OdbcDriverTest : public QObject {
    Q_OBJECT
public:
    explicit OdbcDriverTest(dbtest::Backend backend) : backend_(backend) {}

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void valuesComeBack_data();
    void valuesComeBack();
    void scrollingResult();
    void shortBinaryValuesKeepTheirSize();
    void rowCountsAndTransactions();

private:
    dbtest::Backend backend_;
    QTemporaryDir dir_;
    std::unique_ptr<tegaro::Connection> conn_;
};
