#pragma once
// The connection text the connect command builds from the login dialog, and
// what the data-access layer reads back out of it.
#include <QString>

namespace tegaro {

// Pieces in fixed order; the three values go in exactly as typed.
QString buildConnectionText(const QString& server, const QString& user, const QString& password);

struct ConnectionSettings {
    QString provider;
    QString userId;
    QString catalog;
    QString dataSource;
    QString workstationId;
    QString password;
    int packetSize = 4096;
};

// Reads a text made by buildConnectionText back into its values, even when a
// value holds ";" or "=". Other texts are read as "key=value;" pairs, with
// PASSWORD taking the rest of the text.
ConnectionSettings parseConnectionText(const QString& text);

} // namespace tegaro
