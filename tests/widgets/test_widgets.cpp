#include "core/ErrorGuard.h"
#include "core/Errors.h"
#include "support/DialogAnswer.h"
#include "support/LayoutCheck.h"
#include "support/ScriptedSeam.h"
#include "widgets/ClickSound.h"
#include "widgets/FileDropTarget.h"
#include "widgets/Hint.h"
#include "widgets/HintTracker.h"
#include "widgets/ImageCheckLabel.h"
#include "widgets/NavigatorPanel.h"
#include "widgets/SideMenu.h"
#include "widgets/StatusPanelBar.h"

#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHash>
#include <cmath>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>
#include <QMimeData>
#include <QUrl>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace tegaro;

namespace {
// Contrast ratio of two colours as readability guidelines measure it (1 to 21).
double contrast(QRgb a, QRgb b)
{
    auto luminance = [](QRgb c) {
        auto channel = [](int v) {
            const double s = v / 255.0;
            return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
    };
    const double la = luminance(a), lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}
} // namespace

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
    // The real boxes sit over the main window, whether it has the focus or
    // not (a box shown after a click is over, another program in front).
    void boxesSitOverTheMainWindow_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("active");
        for (const char* box : {"message", "error", "confirm"}) {
            QTest::addRow("%s, window active", box) << QString::fromLatin1(box) << true;
            QTest::addRow("%s, no window active", box) << QString::fromLatin1(box) << false;
        }
    }
    void boxesSitOverTheMainWindow()
    {
        QFETCH(QString, box);
        QFETCH(bool, active);
        QMainWindow main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QWidget other; // a window of ours that is not the main one
        other.show();
        QApplication::setActiveWindow(active ? &main : nullptr);
        QWidget* parent = &other;
        QTimer::singleShot(0, &main, [&] {
            auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            parent = shown ? shown->parentWidget() : nullptr;
            if (shown)
                shown->reject();
        });
        if (box == u"message")
            seam().message(QStringLiteral("お知らせ"));
        else if (box == u"error")
            seam().error(QStringLiteral("エラー"), QStringLiteral("detail"));
        else
            seam().confirm(QStringLiteral("更新"), QStringLiteral("読み込みますか？"));
        QCOMPARE(parent, static_cast<QWidget*>(&main));
    }
    // The real open and save dialogs behind the seam, answered by typing a
    // name (or cancelling) in the dialog itself.
    void fileDialogs_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("typed");  // empty: cancel
        QTest::addColumn<QString>("chosen"); // the name in the state afterwards
        QTest::newRow("save adds the extension") << true << "new"
                                                 << "new.hbd";
        QTest::newRow("save keeps a typed one") << true << "new.had"
                                                << "new.had";
        QTest::newRow("open takes the name as typed") << false << "new"
                                                      << "new";
        QTest::newRow("cancelled save") << true << QString() << "old.hbd";
        QTest::newRow("cancelled open") << false << QString() << "old.hbd";
    }
    void fileDialogs()
    {
        QFETCH(bool, save);
        QFETCH(QString, typed);
        QFETCH(QString, chosen);
        QTemporaryDir dir;
        FileDialogState st{QStringLiteral("図面|*.hbd|旧図面|*.had"), dir.filePath(QStringLiteral("old.hbd")),
                           QStringLiteral("hbd"), QStringLiteral("図面書出")};
        QString title, folder, proposed;
        QStringList filters;
        bool saving = !save;
        whenDialogShows([&](QWidget* w) {
            auto* d = qobject_cast<QFileDialog*>(w);
            if (!d) {
                w->close();
                return;
            }
            title = d->windowTitle();
            folder = d->directory().canonicalPath();
            proposed = QFileInfo(d->selectedFiles().value(0)).fileName();
            filters = d->nameFilters();
            saving = d->acceptMode() == QFileDialog::AcceptSave;
            if (typed.isEmpty()) {
                d->reject();
            } else {
                // typed into the name field once the folder is listed, as a
                // person does; the listing selects the proposed file late
                if (auto* model = d->findChild<QFileSystemModel*>(); model && model->rowCount(model->index(dir.path())) == 0) {
                    QEventLoop listed;
                    QTimer::singleShot(2000, &listed, &QEventLoop::quit);
                    connect(model, &QFileSystemModel::directoryLoaded, &listed, &QEventLoop::quit);
                    listed.exec();
                }
                auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                QVERIFY(name);
                d->activateWindow();
                name->setFocus();
                name->selectAll();
                QTest::keyClicks(name, typed);
                QMetaObject::invokeMethod(d, "accept"); // as the dialog's own button does
            }
        });
        const bool chose = save ? seam().saveFile(st) : seam().openFile(st);
        QCOMPARE(chose, !typed.isEmpty());
        QCOMPARE(title, QStringLiteral("図面書出"));
        QCOMPARE(saving, save);
        // it opens where the proposed file lies, with that file chosen
        QCOMPARE(folder, QDir(dir.path()).canonicalPath());
        QCOMPARE(proposed, QStringLiteral("old.hbd"));
        QCOMPARE(filters, QStringList({QStringLiteral("図面 (*.hbd)"), QStringLiteral("旧図面 (*.had)")}));
        QCOMPARE(st.fileName, dir.filePath(chosen));
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
        // Large items show their whole caption under the picture.
        QToolButton* item = menu.itemButton(items, 0);
        QVERIFY(item->sizeHint().height() <= item->height());
    }
    void sideMenuItemUnderTheMouseIsReadable_data()
    {
        QTest::addColumn<int>("style");
        QTest::newRow("large icons") << int(SideMenu::ItemStyle::LargeIcons);
        QTest::newRow("small icons") << int(SideMenu::ItemStyle::SmallIcons);
    }
    void sideMenuItemUnderTheMouseIsReadable()
    {
        QFETCH(int, style);
        SideMenu menu;
        const int panel = menu.addItemPanel(QStringLiteral("メニュー"), SideMenu::ItemStyle(style));
        menu.addItem(panel, QStringLiteral("評点明細"), QIcon());
        menu.resize(140, 200);
        menu.show();
        QToolButton* item = menu.itemButton(panel, 0);
        item->setAttribute(Qt::WA_UnderMouse);
        const QImage shot = item->grab().toImage();
        // The caption against the ground it is drawn on: the colour found
        // most often is the ground, the one farthest from it the text.
        QHash<QRgb, int> counts;
        for (int y = 2; y < shot.height() - 2; ++y)
            for (int x = 2; x < shot.width() - 2; ++x)
                ++counts[shot.pixel(x, y)];
        QRgb ground = counts.begin().key();
        for (auto it = counts.begin(); it != counts.end(); ++it)
            if (it.value() > counts.value(ground))
                ground = it.key();
        double best = 1.0;
        for (auto it = counts.begin(); it != counts.end(); ++it)
            best = qMax(best, contrast(it.key(), ground));
        QVERIFY2(best >= 4.5, qPrintable(QStringLiteral("contrast %1 on %2").arg(best).arg(QColor(ground).name())));
    }
    void statusBarPanels_data()
    {
        QTest::addColumn<int>("width");
        QTest::newRow("wider than the panels") << 1000;
        QTest::newRow("the main window") << 883;
        QTest::newRow("narrow") << 400;
    }
    void statusBarPanels()
    {
        QFETCH(int, width);
        StatusPanelBar bar;
        bar.resize(width, 24);
        bar.show();
        // A long message stays in its panel, which keeps its width.
        const int messageWidth = bar.panelWidth(2);
        bar.setMessage(QString(200, u'図'));
        QCoreApplication::processEvents();
        QCOMPARE(bar.panelWidth(2), messageWidth);
        // Side by side, nothing cut off or covered; the panels reach the edge.
        const QStringList faults = layoutFaults(&bar);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
        int right = 0;
        for (const QWidget* panel : bar.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (panel->isVisible())
                right = qMax(right, panel->geometry().right());
        QCOMPARE(right, width - 2);

        // The title in panel 0 shows whole in its panel.
        auto* title = bar.findChildren<QLabel*>(Qt::FindDirectChildrenOnly).value(0);
        QVERIFY(title && !title->text().isEmpty());
        QCOMPARE(title->text(), bar.panelText(0));
        QVERIFY2(title->fontMetrics().horizontalAdvance(title->text()) <= title->contentsRect().width(),
                 qPrintable(QStringLiteral("\"%1\" in %2 pixels").arg(title->text()).arg(title->contentsRect().width())));
        bar.setGauge(140);
        QCOMPARE(bar.gauge(), 100);
        bar.setGauge(-3);
        QCOMPARE(bar.gauge(), 0);
        // Messages go to panel 2 alone.
        QStringList before;
        for (int panel = 0; panel < 5; ++panel)
            before << bar.panelText(panel);
        bar.setMessage(QStringLiteral("拡大！"));
        for (int panel = 0; panel < 5; ++panel)
            QCOMPARE(bar.panelText(panel), panel == 2 ? QStringLiteral("拡大！") : before[panel]);
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
        // Two rows and 18-pixel buttons in the room the window gives the navigator.
        NavigatorPanel nav;
        nav.addRow(QStringLiteral("所有者コード"));
        nav.addRow(QStringLiteral("氏名"));
        nav.setButtonSize(18);
        nav.resize(237, 64);
        nav.show();
        QCOMPARE(nav.rowCount(), 2);
        QCOMPARE(nav.rowEditor(1)->accessibleName(), QStringLiteral("氏名"));
        QCOMPARE(nav.button(NavigatorPanel::Refresh)->toolTip(), QStringLiteral("Refresh data"));
        for (int action = 0; action < NavigatorPanel::ActionCount; ++action) {
            QToolButton* b = nav.button(NavigatorPanel::Action(action));
            QVERIFY2(nav.rect().contains(QRect(b->mapTo(&nav, QPoint()), b->size())), qPrintable(b->toolTip()));
        }
        QSignalSpy actions(&nav, &NavigatorPanel::actionTriggered);
        QTest::mouseClick(nav.button(NavigatorPanel::Post), Qt::LeftButton);
        QCOMPARE(actions.first().first().toInt(), int(NavigatorPanel::Post));
    }
};

int main(int argc, char** argv)
{
    // Qt's file dialog keeps its view mode and history in the user's
    // settings, and a dialog left in another mode by an earlier session
    // answers a typed name differently: these tests start from their own.
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    QApplication app(argc, argv);
    TestWidgets test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_widgets.moc"
