#include "db/login/ConnectCommand.h"

#include "core/Errors.h"
#include "widgets/UserSeam.h"
#include "db/ConnectionText.h"
#include "db/DataAccess.h"
#include "db/login/TSQLLogin.h"

#include <QLineEdit>

namespace tegaro {

ConnectCommand::ConnectCommand(TSQLLogin& dialog, DataAccess& data, std::function<void()> setNavigatorButtons18)
    : showDialog([](TSQLLogin& d) { d.exec(); }),
      dialog_(dialog),
      data_(data),
      setNavigatorButtons18_(std::move(setNavigatorButtons18))
{
}

void ConnectCommand::ToolbarButton976Click()
{
    if (setNavigatorButtons18_)
        setNavigatorButtons18_();
    showDialog(dialog_);
    if (!dialog_.ConnectRequested)
        return;

    QString text = buildConnectionText(dialog_.SQLname->text(), dialog_.userid->text(), dialog_.pwd->text());
    Connection& connection = *data_.ADOConnection1;
    connection.setLoginPrompt(false);

    // Other settings drop the open connection and its record sets; post a
    // pending edit first so it is not lost with them.
    if (connection.isOpen() && text != connection.connectionText() && data_.ADOQuery1->isOpen())
        data_.ADOQuery1->checkBrowseMode();

    try {
        connection.setConnectionText(text);
        // The same settings keep an open connection, unless the server no
        // longer answers on it (a restart): then it is opened again.
        connection.verify();
        connection.open();
    } catch (const EDatabaseError&) {
        connection.close();
        seam().message(QStringLiteral("ＤＢ接続に失敗しました。"));
    }

    // Opening a record set opens the connection again when it is closed, so
    // a failed connect is tried once more here.
    try {
        data_.ADOQuery1->open();
        data_.ADOTable2->open();
        data_.ADOQuery1->first();
        data_.ADOTable2->first();
    } catch (...) {
        data_.ADOQuery1->close();
        data_.ADOTable2->close();
        seam().message(QStringLiteral("ＤＢをオープン出来ませんでした。"));
    }
}

} // namespace tegaro
