#pragma once
#include <QObject>

// The login dialog, the settings file and the connection text.
class SettingsTest : public QObject {
    Q_OBJECT
private slots:
    void parseSettings_data();
    void parseSettings();
    void unreadableSettings_data();
    void unreadableSettings();
    void dialogLayout();
    void dialogStates_data();
    void dialogStates();
    void dialogKeysAndModalClose();
    void connectionText_data();
    void connectionText();
    void backendFromConnectionText();
    void odbcAttributes_data();
    void odbcAttributes();
    void sqlForBothDialects_data();
    void sqlForBothDialects();
};
