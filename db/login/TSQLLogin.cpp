#include "db/login/TSQLLogin.h"

#include "core/ErrorGuard.h"
#include "core/HtmlHelp.h"
#include "widgets/UserSeam.h"
#include "db/HotakuIni.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tegaro {

namespace {
QLineEdit* makeField(QWidget* parent, const char* name, QLabel* label, int y, const QString& hint)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(112, y, 89, 20);
    edit->setToolTip(hint);
    edit->setStatusTip(hint);
    edit->setAccessibleName(label->text());
    label->setBuddy(edit);
    return edit;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int y)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(16, y);
    label->adjustSize();
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text, int x, int width)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(x, 160, width, 25);
    // No default button: Enter does nothing special.
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setAccessibleName(text);
    return button;
}
} // namespace

TSQLLogin::TSQLLogin(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SQLLogin"));
    setWindowTitle(QStringLiteral("ログイン"));
    setModal(true);
    QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
    f.setPixelSize(12);
    setFont(f);
    setFixedSize(297, 233);
    move(376, 229);

    GroupBox1 = new QGroupBox(QStringLiteral("SQLServer接続設定"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(32, 24, 225, 121);

    Label1 = makeLabel(GroupBox1, "Label1", QStringLiteral("SQLサーバー名"), 35);
    Label2 = makeLabel(GroupBox1, "Label2", QStringLiteral("ユーザーID"), 60);
    Label3 = makeLabel(GroupBox1, "Label3", QStringLiteral("パスワード"), 85);
    SQLname = makeField(GroupBox1, "SQLname", Label1, 32, QStringLiteral("SQLsever名を入力します。"));
    userid = makeField(GroupBox1, "userid", Label2, 56, QStringLiteral("ログインユーザー名です。"));
    userid->setText(QStringLiteral("sa"));
    // The password shows in clear, as typed.
    pwd = makeField(GroupBox1, "pwd", Label3, 80, QStringLiteral("ログインパスワードです。"));
    pwd->setEchoMode(QLineEdit::Normal);

    Button3 = makeButton(this, "Button3", QStringLiteral("読込"), 72, 40);
    Button2 = makeButton(this, "Button2", QStringLiteral("消去"), 112, 40);
    Button5 = makeButton(this, "Button5", QStringLiteral("ﾍﾙﾌﾟ"), 152, 40);
    Button1 = makeButton(this, "Button1", QStringLiteral("接続"), 208, 49);

    setTabOrder(SQLname, userid);
    setTabOrder(userid, pwd);
    setTabOrder(pwd, Button1);
    setTabOrder(Button1, Button2);
    setTabOrder(Button2, Button3);
    setTabOrder(Button3, Button5);

    connect(Button1, &QPushButton::clicked, this, [this] { guarded([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { guarded([this] { Button2Click(); }); });
    connect(Button3, &QPushButton::clicked, this, [this] { guarded([this] { Button3Click(); }); });
    connect(Button5, &QPushButton::clicked, this, [this] { guarded([this] { Button5Click(); }); });
}

QString TSQLLogin::settingsPath() const { return settingsPath_.isEmpty() ? hotakuIniPath() : settingsPath_; }

void TSQLLogin::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TSQLLogin::keyPressEvent(QKeyEvent* event)
{
    // Esc must not close the dialog, nor Enter press a button.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void TSQLLogin::FormShow() { ConnectRequested = false; }

void TSQLLogin::Button1Click()
{
    ConnectRequested = true;
    if (SQLname->text().isEmpty()) {
        seam().message(QStringLiteral("接続サーバー名（サービス名）を入力して下さい。"));
        ConnectRequested = false;
    }
    done(QDialog::Accepted);
}

void TSQLLogin::Button2Click()
{
    ConnectRequested = false;
    SQLname->clear();
    pwd->clear();
}

void TSQLLogin::Button3Click()
{
    // Read everything first: a failed read changes no field.
    LoginValues values = readHotakuIni(settingsPath());
    SQLname->setText(values.server);
    userid->setText(values.user);
    pwd->setText(values.password);
    ConnectRequested = true;
}

void TSQLLogin::Button5Click()
{
    setApplicationHelpFile(defaultHelpFilePath());
    HtmlHelpA(nullptr, applicationHelpFile(), HH_HELP_CONTEXT, 9);
}

} // namespace tegaro
