#pragma once
// The connect command (ToolbarButton976Click, also the side-menu item
// サーバー接続): ask for the settings, connect, open the house record query
// and the district table at their first rows, and tell the user what failed.
#include <functional>

namespace tegaro {

class DataAccess;
class TSQLLogin;

class ConnectCommand {
public:
    // setNavigatorButtons18 sets the record navigator's buttons to 18 pixels.
    ConnectCommand(TSQLLogin& dialog, DataAccess& data, std::function<void()> setNavigatorButtons18);

    void ToolbarButton976Click();

    // Shows the dialog modally; tests replace it.
    std::function<void(TSQLLogin&)> showDialog;

private:
    TSQLLogin& dialog_;
    DataAccess& data_;
    std::function<void()> setNavigatorButtons18_;
};

} // namespace tegaro
