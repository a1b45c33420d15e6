#pragma once
#include <QObject>

// The tegaro-db program and the demo database it makes.
class ToolTest : public QObject {
    Q_OBJECT
private slots:
    void demoDatabase();
    void serverDatabase(); // against the server of TEGARO_TEST_MSSQL
    void refusesToOverwrite();
    void badArguments_data();
    void badArguments();
    void sqlServerScript();
};
