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
};
