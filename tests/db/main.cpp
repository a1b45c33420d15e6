// One program for the database tests; the record set rules run once per
// backend, the ODBC driver once per ODBC backend.
#include "test_conflict.h"
#include "test_connect.h"
#include "test_odbcdriver.h"
#include "test_paging.h"
#include "test_recordset.h"
#include "test_settings.h"
#include "test_tool.h"

#include <QApplication>
#include <QTest>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int failures = 0;
    SettingsTest settings;
    failures += QTest::qExec(&settings, argc, argv);
    ToolTest tool;
    failures += QTest::qExec(&tool, argc, argv);
    ConnectTest connect;
    failures += QTest::qExec(&connect, argc, argv);
    PagingPiecesTest pieces;
    failures += QTest::qExec(&pieces, argc, argv);
    // A backend that is not there is left out here: Qt Test carries a skip
    // in initTestCase over into the classes that run after it.
    auto missing = [](dbtest::Backend b) {
        QString why = dbtest::backendMissing(b);
        if (!why.isEmpty())
            std::printf("SKIP   : %s run skipped: %s\n", qPrintable(dbtest::backendName(b)), qPrintable(why));
        return !why.isEmpty();
    };
    for (dbtest::Backend b : {dbtest::Backend::Sqlite, dbtest::Backend::OdbcSqlite, dbtest::Backend::SqlServer}) {
        RecordSetTest records(b);
        PagingTest paging(b);
        ConflictTest conflicts(b);
        if (!missing(b)) {
            failures += QTest::qExec(&records, argc, argv);
            failures += QTest::qExec(&paging, argc, argv);
            failures += QTest::qExec(&conflicts, argc, argv);
        }
    }
    for (dbtest::Backend b : {dbtest::Backend::OdbcSqlite, dbtest::Backend::SqlServer}) {
        OdbcDriverTest driver(b);
        if (!missing(b))
            failures += QTest::qExec(&driver, argc, argv);
    }
    return failures ? 1 : 0;
}
