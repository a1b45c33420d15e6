#include "RecordsFixture.h"

#include "app/Application.h"
#include "db/login/ConnectCommand.h"
#include "db/DataAccess.h"
#include "db/Schema.h"
#include "db/login/TSQLLogin.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTest>

using namespace tegaro;

namespace records_test {

void typeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QApplication::sendEvent(widget, &release);
    }
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

ConnectedWindow::ConnectedWindow(const QList<House>& houses, const QStringList& districts)
{
    setupApplication();
    path = dir.filePath(QStringLiteral("houses.sqlite"));
    check_ = new Connection;
    check_->setTarget(sqliteFileTarget(path, true));
    check_->open();
    createSchema(*check_);
    for (const QString& d : districts)
        check_->exec(QStringLiteral("INSERT INTO 行政区 (所在区) VALUES (?)"), {d});
    for (const House& h : houses)
        check_->exec(QStringLiteral("INSERT INTO 基本データ (所有者氏名, 日付, 所在区, 備考, zumen, excel) VALUES (?, ?, ?, ?, ?, ?)"),
                     {h.owner.isNull() ? QVariant() : QVariant(h.owner), h.date, h.district, h.memo, h.zumen, h.excel});
    form = new TForm1;
    form->show();
    form->activateWindow();
    active = QTest::qWaitForWindowActive(form);
    connect();
}

ConnectedWindow::~ConnectedWindow()
{
    delete form;
    delete check_;
}

void ConnectedWindow::connect()
{
    form->connectCommand()->showDialog = [this](TSQLLogin& d) {
        d.FormShow();
        d.SQLname->setText(path);
        d.Button1Click();
    };
    form->ToolbarButton976Click();
}

RecordSet& ConnectedWindow::query() const { return *form->data()->ADOQuery1; }

QVariant ConnectedWindow::stored(const QString& column, const QString& owner) const
{
    QSqlQuery q = check_->exec(QStringLiteral("SELECT %1 FROM 基本データ WHERE 所有者氏名 = ?").arg(column), {owner});
    return q.next() ? q.value(0) : QVariant(QStringLiteral("<no row>"));
}

int ConnectedWindow::storedCount() const
{
    QSqlQuery q = check_->exec(QStringLiteral("SELECT count(*) FROM 基本データ"));
    return q.next() ? q.value(0).toInt() : -1;
}

} // namespace records_test
