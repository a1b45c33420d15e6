#pragma once
// The connection settings dialog ("ログイン"). It only collects the server,
// login name and password and whether the user asked to connect; the
// connect command reads them after the dialog closes.
#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tegaro {

class TSQLLogin : public QDialog {
    Q_OBJECT
public:
    explicit TSQLLogin(QWidget* parent = nullptr);

    // True when the user asked to connect with the values in the fields.
    bool ConnectRequested = false;

    // Handlers; the buttons call them inside the error guard.
    void FormShow();
    void Button1Click(); // 接続
    void Button2Click(); // 消去
    void Button3Click(); // 読込
    void Button5Click(); // ﾍﾙﾌﾟ

    // Where 読込 reads from; the executable's folder unless a test says so.
    void setSettingsPath(const QString& path) { settingsPath_ = path; }
    QString settingsPath() const;

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLineEdit* SQLname;
    QLineEdit* userid;
    QLineEdit* pwd;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button5;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString settingsPath_;
};

} // namespace tegaro
