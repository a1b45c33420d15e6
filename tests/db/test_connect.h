#pragma once
#include <QObject>

// The connect command over real embedded databases.
class ConnectTest : public QObject {
    Q_OBJECT
private slots:
    void connectOutcomes_data();
    void connectOutcomes();
    void reconnectPostsPendingEdit();
    void passwordNeverInErrors();
    // Against the server of TEGARO_TEST_MSSQL.
    void serverLogins_data();
    void serverLogins();
    void serverReconnect_data();
    void serverReconnect();
};
