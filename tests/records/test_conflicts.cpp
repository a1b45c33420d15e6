// The conflict and lost-answer roads as a user meets them in the window:
// two windows on one database, and a link that breaks under a post.
#include "RecordsFixture.h"

#include "app/TForm1.h"
#include "db/DataAccess.h"
#include "db/login/ConnectCommand.h"
#include "db/login/TSQLLogin.h"
#include "widgets/NavigatorPanel.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QtTest>

using namespace tegaro;
using records_test::ConnectedWindow;
using records_test::typeText;

namespace {
void press(TForm1& form, NavigatorPanel::Action action)
{
    QTest::mouseClick(form.findChild<NavigatorPanel*>(QStringLiteral("DBInspectorBar1"))->button(action), Qt::LeftButton);
}
QString owner(TForm1& form) { return form.findChild<QLineEdit*>(QStringLiteral("DBEdit10"))->text(); }
// The memo takes what is typed while it has the focus, in the active window.
QPlainTextEdit* memo(TForm1& form)
{
    form.activateWindow();
    if (!QTest::qWaitForWindowActive(&form))
        qWarning("the window did not become active");
    auto* m = form.findChild<QPlainTextEdit*>(QStringLiteral("DBMemo1"));
    m->setFocus();
    return m;
}
RecordSet& query(TForm1& form) { return *form.data()->ADOQuery1; }
} // namespace

class TestConflicts : public QObject {
    Q_OBJECT
private slots:
    void conflictLeadsSomewhere()
    {
        ConnectedWindow a({{QStringLiteral("山田")}, {QStringLiteral("鈴木")}});
        TForm1 b;
        b.show();
        b.connectCommand()->showDialog = [&](TSQLLogin& d) {
            d.SQLname->setText(a.path);
            d.Button1Click();
        };
        b.ToolbarButton976Click();
        QCOMPARE(owner(b), QStringLiteral("山田"));

        // A changes the owner; B, still showing 山田, writes a memo.
        a.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(a.form));
        auto* ownerA = a.find<QLineEdit>("DBEdit10");
        ownerA->setFocus();
        ownerA->selectAll();
        typeText(ownerA, QStringLiteral("山田改"));
        press(*a.form, NavigatorPanel::Post);
        typeText(memo(b), QStringLiteral("Bのメモ"));
        a.seam.clear();
        press(b, NavigatorPanel::Post);
        QCOMPARE(a.seam.messages().size(), 1);
        const QString refused = a.seam.messages().first();
        QVERIFY2(refused.startsWith(QStringLiteral("このレコードは読み込んだ後に他のユーザーが変更しました。データを更新してからやり直してください")), qPrintable(refused));
        QVERIFY2(refused.contains(QStringLiteral("\n・所有者氏名: 山田改")), qPrintable(refused));
        QCOMPARE(query(b).state(), DataSetState::Edit);
        QCOMPARE(memo(b)->toPlainText(), QStringLiteral("Bのメモ"));

        // Next posts first, so it is refused the same way and stays.
        press(b, NavigatorPanel::Next);
        QCOMPARE(a.seam.messages().size(), 2);
        QCOMPARE(query(b).recNo(), 1);
        QCOMPARE(memo(b)->toPlainText(), QStringLiteral("Bのメモ"));

        // 更新 asks; Cancel keeps what was typed, in edit.
        a.seam.confirmAnswers << false;
        press(b, NavigatorPanel::Refresh);
        QCOMPARE(a.seam.shown.last().kind, ScriptedSeam::Shown::Confirm);
        QCOMPARE(a.seam.shown.last().caption, QStringLiteral("更新"));
        QCOMPARE(a.seam.shown.last().text, QStringLiteral("他のユーザーの変更を読み込みますか？入力した内容は破棄されます。"));
        QCOMPARE(query(b).state(), DataSetState::Edit);
        QCOMPARE(memo(b)->toPlainText(), QStringLiteral("Bのメモ"));

        // OK shows the other user's record, in browse.
        a.seam.confirmAnswers << true;
        press(b, NavigatorPanel::Refresh);
        QCOMPARE(query(b).state(), DataSetState::Browse);
        QCOMPARE(owner(b), QStringLiteral("山田改"));
        QCOMPARE(memo(b)->toPlainText(), QString());
        QCOMPARE(a.seam.messages().size(), 2);

        // Typed again, the memo goes in; a plain 更新 asks nothing.
        typeText(memo(b), QStringLiteral("Bのメモ"));
        press(b, NavigatorPanel::Post);
        QCOMPARE(a.stored(QStringLiteral("備考"), QStringLiteral("山田改")).toString(), QStringLiteral("Bのメモ"));
        const qsizetype shown = a.seam.shown.size();
        press(b, NavigatorPanel::Refresh);
        QCOMPARE(a.seam.shown.size(), shown);
        press(b, NavigatorPanel::Next);
        QCOMPARE(owner(b), QStringLiteral("鈴木"));
    }

    void lostAnswerIsSettled()
    {
        ConnectedWindow w({{QStringLiteral("山田")}});
        typeText(memo(*w.form), QStringLiteral("送ったメモ"));
        w.form->data()->ADOConnection1->loseLinkAtNextWrite(Connection::LinkLoss::AfterRunning);
        press(*w.form, NavigatorPanel::Post);
        QCOMPARE(w.seam.messages(), QStringList{QStringLiteral("データベースサーバーとの接続が切れました。もう一度操作すると接続し直します。")});
        QVERIFY(!w.seam.shown.last().detail.isEmpty());
        QCOMPARE(w.query().state(), DataSetState::Edit);

        // ✓ again: the row holds what was sent, so it was saved; said once
        // the click is over.
        press(*w.form, NavigatorPanel::Post);
        QCOMPARE(w.query().state(), DataSetState::Browse);
        QTRY_COMPARE(w.seam.messages().size(), 2);
        QCOMPARE(w.seam.messages().last(), QStringLiteral("接続が切れる前に保存されていました。"));
        QCOMPARE(w.seam.shown.last().kind, ScriptedSeam::Shown::Message);
        QCOMPARE(w.storedCount(), 1);
        QCOMPARE(w.stored(QStringLiteral("備考"), QStringLiteral("山田")).toString(), QStringLiteral("送ったメモ"));
    }
};

QTEST_MAIN(TestConflicts)
#include "test_conflicts.moc"
