// One program for the database tests; the record set rules run once per backend.
#include "ConnectTest.h"
#include "RecordSetTest.h"
#include "SettingsTest.h"
#include "ToolTest.h"

#include <QApplication>
#include <QTest>

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
    for (dbtest::Backend b : {dbtest::Backend::Sqlite, dbtest::Backend::OdbcSqlite, dbtest::Backend::SqlServer}) {
        RecordSetTest records(b);
        failures += QTest::qExec(&records, argc, argv);
    }
    return failures ? 1 : 0;
}
