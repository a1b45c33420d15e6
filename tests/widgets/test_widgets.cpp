#include "core/ErrorGuard.h"
#include "core/Errors.h"
#include "support/ScriptedSeam.h"
#include "widgets/ClickSound.h"
#include "widgets/FileDropTarget.h"
#include "widgets/Hint.h"
#include "widgets/HintTracker.h"
#include "widgets/ImageCheckLabel.h"
#include "widgets/NavigatorPanel.h"
#include "widgets/SideMenu.h"
#include "widgets/StatusPanelBar.h"

#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

using namespace tegaro;

class TestWidgets : public QObject {
    Q_OBJECT
private slots:
    void guardedErrorsGoToTheErrorBoxOfTheSeam()
    {
        ScriptedSeam s;
        guarded([] { throw EInOutError(QStringLiteral("ファイルが見つかりません")); });
        QCOMPARE(s.messages(), QStringList{QStringLiteral("ファイルが見つかりません")});
        QCOMPARE(s.shown.first().kind, ScriptedSeam::Shown::Error);
    }
    void scriptedDialogs()
    {
        ScriptedSeam s;
        FileDialogState st{QStringLiteral("図面|*.hbd"), QStringLiteral("old.hbd"), QStringLiteral("hbd"), {}};
        s.fileAnswers << QStringLiteral("/tmp/new") << QString();
        QVERIFY(s.saveFile(st));
        QCOMPARE(st.fileName, QStringLiteral("/tmp/new.hbd"));
        QVERIFY(!s.openFile(st));
        QCOMPARE(st.fileName, QStringLiteral("/tmp/new.hbd")); // a cancel changes nothing
        QCOMPARE(s.shown[0].fileName, QStringLiteral("old.hbd"));
    }
    void checkLabelReleases_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("toggles");
        QTest::newRow("left toggles and clicks") << int(Qt::LeftButton) << true;
        QTest::newRow("right only reports") << int(Qt::RightButton) << false;
        QTest::newRow("middle only reports") << int(Qt::MiddleButton) << false;
    }
    void checkLabelReleases()
    {
        QFETCH(int, button);
        QFETCH(bool, toggles);
        ImageCheckLabel label(QStringLiteral("家屋図面"));
        label.resize(110, 24);
        label.show();
        QSignalSpy ups(&label, &ImageCheckLabel::mouseUp);
        // The mark is already toggled when the handler runs.
        bool checkedInHandler = false;
        connect(&label, &ImageCheckLabel::mouseUp, this, [&] { checkedInHandler = label.isChecked(); });
        const int clicksBefore = clickCount();
        QTest::mouseClick(&label, Qt::MouseButton(button));
        QCOMPARE(ups.count(), 1);
        QCOMPARE(ups.first().first().value<Qt::MouseButton>(), Qt::MouseButton(button));
        QCOMPARE(label.isChecked(), toggles);
        QCOMPARE(checkedInHandler, toggles);
        QCOMPARE(clickCount() - clicksBefore, toggles ? 1 : 0);
    }
    void checkLabelFromCodeAndDisabled()
    {
        ImageCheckLabel label(QStringLiteral("家屋明細書"));
        label.setChecked(true);
        QVERIFY(label.isChecked());
        label.setEnabled(false);
        label.show();
        QSignalSpy ups(&label, &ImageCheckLabel::mouseUp);
        QTest::mouseClick(&label, Qt::LeftButton);
        QCOMPARE(ups.count(), 0);
        QVERIFY(label.isChecked());
    }
    void sideMenuPanels()
    {
        SideMenu menu;
        menu.setObjectName(QStringLiteral("Menu"));
        const int items = menu.addItemPanel(QStringLiteral("メニュー"), SideMenu::ItemStyle::LargeIcons);
        menu.addItem(items, QStringLiteral("a"), QIcon());
        menu.addItem(items, QStringLiteral("b"), QIcon());
        auto* hosted = new QWidget;
        const int host = menu.addHostPanel(QStringLiteral("ファイル"), hosted, false);
        menu.resize(140, 400);
        menu.show();
        QVERIFY(menu.isPanelOpen(items));
        QVERIFY(!menu.isPanelOpen(host));
        QVERIFY(!hosted->isVisible());
        QTest::mouseClick(menu.panelHeader(host), Qt::LeftButton);
        QVERIFY(menu.isPanelOpen(host));
        QVERIFY(hosted->isVisible());

        QSignalSpy clicks(&menu, &SideMenu::itemClicked);
        QTest::mouseClick(menu.itemButton(items, 1), Qt::LeftButton);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks.first(), QList<QVariant>({items, 1}));
        QCOMPARE(menu.itemButton(items, 0)->iconSize(), QSize(32, 32));
    }
    void statusBarPanels()
    {
        StatusPanelBar bar;
        bar.resize(900, 24);
        bar.show();
        const int widths[] = {57, 100, 300, 400, 45};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(bar.panelWidth(i), widths[i]);
        QCOMPARE(bar.panelText(0), QStringLiteral(" Tegaro"));
        bar.setGauge(140);
        QCOMPARE(bar.gauge(), 100);
        bar.setGauge(-3);
        QCOMPARE(bar.gauge(), 0);
        bar.setMessage(QStringLiteral("拡大！"));
        QCOMPARE(bar.panelText(2), QStringLiteral("拡大！"));
    }
    void hintsClimbToParentsAndReportChanges()
    {
        QWidget top;
        auto* group = new QWidget(&top);
        setHint(group, QStringLiteral("基本項目"));
        auto* inner = new QWidget(group);
        auto* other = new QWidget(&top);
        auto* same = new QWidget(&top);
        setHint(same, QStringLiteral("基本項目"));
        QCOMPARE(effectiveHint(inner), QStringLiteral("基本項目"));

        HintTracker tracker;
        QSignalSpy changes(&tracker, &HintTracker::hintChanged);
        tracker.hover(inner);
        tracker.hover(same);  // same text: no change reported
        tracker.hover(other); // no hint: empties
        QCOMPARE(changes.count(), 2);
        QCOMPARE(changes.at(0).first().toString(), QStringLiteral("基本項目"));
        QCOMPARE(changes.at(1).first().toString(), QString());
    }
    void desktopDropsHandOverEveryPathInOrder()
    {
        QWidget target;
        auto* inner = new QWidget(&target);
        FileDropTarget drop(&target);
        drop.watch(inner);
        QSignalSpy dropped(&drop, &FileDropTarget::dropped);
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/b.hbd")), QUrl::fromLocalFile(QStringLiteral("/tmp/a.hbd")),
                      QUrl(QStringLiteral("https://example.invalid/x.hbd"))});
        QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(inner, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent event(QPointF(1, 1), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(inner, &event);
        QCOMPARE(dropped.count(), 1);
        QCOMPARE(dropped.first().first().toStringList(), QStringList({"/tmp/b.hbd", "/tmp/a.hbd"}));
        // Text without files is not a file drop.
        QMimeData text;
        text.setText(QStringLiteral("plan.hbd"));
        QDropEvent textDrop(QPointF(1, 1), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&target, &textDrop);
        QCOMPARE(dropped.count(), 1);
    }
    void navigatorButtons()
    {
        NavigatorPanel nav;
        nav.addRow(QStringLiteral("所有者コード"));
        nav.addRow(QStringLiteral("氏名"));
        nav.setButtonSize(18);
        nav.show();
        QCOMPARE(nav.rowCount(), 2);
        QCOMPARE(nav.rowEditor(1)->accessibleName(), QStringLiteral("氏名"));
        QCOMPARE(nav.button(NavigatorPanel::Refresh)->toolTip(), QStringLiteral("Refresh data"));
        QCOMPARE(nav.button(NavigatorPanel::First)->size(), QSize(18, 18));
        QSignalSpy actions(&nav, &NavigatorPanel::actionTriggered);
        QTest::mouseClick(nav.button(NavigatorPanel::Post), Qt::LeftButton);
        QCOMPARE(actions.first().first().toInt(), int(NavigatorPanel::Post));
    }
};

QTEST_MAIN(TestWidgets)
#include "test_widgets.moc"
