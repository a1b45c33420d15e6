#include "app/Application.h"
#include "drawing/page/DrawingPage.h"
#include "drawing/page/PaintBox.h"
#include "app/TForm1.h"
#include "core/HtmlHelp.h"
#include "support/DialogAnswer.h"
#include "support/LayoutCheck.h"
#include "support/ScriptedSeam.h"
#include "db/login/ConnectCommand.h"
#include "db/login/TSQLLogin.h"
#include "widgets/FlatEdit.h"
#include "widgets/Hint.h"
#include "widgets/HintTracker.h"
#include "widgets/NavigatorPanel.h"
#include "widgets/SideMenu.h"
#include "widgets/StatusPanelBar.h"

#include <QAbstractButton>
#include <QFontInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace tegaro;

namespace {

struct HelpCall {
    QString file;
    unsigned command = 0;
    quintptr data = 0;
    int count = 0;
} lastHelp;

void recordHelp(QWidget*, const QString& file, unsigned command, quintptr data)
{
    lastHelp = {file, command, data, lastHelp.count + 1};
}

template <class T>
T* child(QWidget& window, const char* name)
{
    T* w = window.findChild<T*>(QString::fromLatin1(name));
    if (!w)
        qFatal("no control named %s", name);
    return w;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;

private slots:
    void initTestCase() { setupApplication(); }

    // The real boxes behind the seam: messages and errors carry the
    // application title, a question its own caption with OK the default.
    void boxCaptions_data()
    {
        QTest::addColumn<int>("kind"); // 0 message, 1 error, 2 confirm
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("icon");
        QTest::newRow("message") << 0 << false << QStringLiteral("Tegaro") << int(QMessageBox::NoIcon);
        QTest::newRow("error") << 1 << false << QStringLiteral("Tegaro") << int(QMessageBox::Critical);
        QTest::newRow("question answered OK") << 2 << false << QStringLiteral("削除確認") << int(QMessageBox::NoIcon);
        QTest::newRow("question cancelled") << 2 << true << QStringLiteral("削除確認") << int(QMessageBox::NoIcon);
    }
    void boxCaptions()
    {
        QFETCH(int, kind);
        QFETCH(bool, cancel);
        QFETCH(QString, caption);
        QFETCH(int, icon);
        QString title, text;
        int shownIcon = -1;
        bool okIsDefault = false;
        whenDialogShows([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box) {
                w->close();
                return;
            }
            title = box->windowTitle();
            text = box->text();
            shownIcon = int(box->icon());
            QAbstractButton* ok = box->button(QMessageBox::Ok);
            okIsDefault = box->defaultButton() == ok;
            QAbstractButton* answer = cancel ? box->button(QMessageBox::Cancel) : ok;
            if (answer)
                answer->click();
            else
                box->close();
        });
        const QString said = QStringLiteral("図面を削除しますか?");
        if (kind == 0)
            seam().message(said);
        else if (kind == 1)
            seam().error(said);
        else
            QCOMPARE(seam().confirm(caption, said), !cancel);
        QCOMPARE(title, caption);
        QCOMPARE(text, said);
        QCOMPARE(shownIcon, icon);
        if (kind == 2)
            QVERIFY(okIsDefault);
    }

    void caption_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("errors");
        const QString bmp = dir.filePath(QStringLiteral("back.bmp"));
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QVERIFY(picture.save(bmp, "BMP"));
        const QString text = dir.filePath(QStringLiteral("note.txt"));
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a picture");
        f.close();
        QTest::newRow("no argument") << QString() << QStringLiteral("Tegaro : ") << 0;
        QTest::newRow("missing file") << dir.filePath(QStringLiteral("nothing.bmp")) << QStringLiteral("Tegaro : ") << 0;
        QTest::newRow("folder") << dir.path() << QStringLiteral("Tegaro : ") << 0;
        QTest::newRow("bitmap") << bmp << QStringLiteral("Tegaro : ") + bmp << 0;
        QTest::newRow("no picture") << text << QStringLiteral("Tegaro") << 1;
    }
    void caption()
    {
        QFETCH(QString, argument);
        QFETCH(QString, caption);
        QFETCH(int, errors);
        ScriptedSeam seam;
        TForm1 window(argument.isEmpty() ? QStringList() : QStringList{argument});
        QCOMPARE(window.windowTitle(), caption);
        QCOMPARE(seam.messages().size(), errors);
        // Hints keep working even after a failed start-up picture.
        auto* zm = child<QToolButton>(window, "ZmRead");
        window.statusBarPanels()->setMessage(QStringLiteral("読込中"));
        window.hintTracker()->hover(zm);
        QCOMPARE(window.statusBarPanels()->message(), QStringLiteral("図面読込!"));
    }

    void startupCanvasShowsTheGrid()
    {
        ScriptedSeam seam;
        TForm1 window;
        window.show();
        window.pages()->setCurrentIndex(2);
        const QImage shot = window.drawingPage()->paintBox()->grab().toImage();
        QCOMPARE(shot.size(), QSize(590, 410));
        // Main grid rows lie at trunc((10 + 45 i) * 0.5): 5, 27, 50 ...
        QCOMPARE(shot.pixelColor(300, 27), QColor(0, 255, 0));
        QCOMPARE(shot.pixelColor(300, 38), QColor(255, 255, 0));
        QCOMPARE(shot.pixelColor(300, 30), QColor(Qt::white));
        QCOMPARE(shot.pixelColor(2, 27), QColor(Qt::white)); // left of the origin
    }

    void zoomClicks()
    {
        ScriptedSeam seam;
        TForm1 window;
        window.show();
        window.pages()->setCurrentIndex(2);
        DrawingPage* page = window.drawingPage();
        QCOMPARE(page->zoomDisp()->text(), QStringLiteral("0.5"));
        const struct {
            Qt::MouseButton button;
            const char* zoom;
            const char* status;
        } steps[] = {
            {Qt::RightButton, " 0.40", "縮小！"},
            {Qt::RightButton, " 0.30", "縮小！"},
            {Qt::RightButton, " 0.50", "縮小限度！"},
            {Qt::LeftButton, " 0.60", "拡大！"},
            {Qt::MiddleButton, " 0.70", "拡大！"},
        };
        for (const auto& s : steps) {
            QTest::mouseClick(page->paintBox(), s.button, {}, QPoint(100, 100));
            QCOMPARE(page->zoomDisp()->text(), QString::fromUtf8(s.zoom));
            QCOMPARE(window.statusBarPanels()->message(), QString::fromUtf8(s.status));
        }
        QVERIFY(qAbs(page->model().Zoom - 0.7) < 1e-9);
    }

    void floorTabShowsTheClickedFloorAtOnce()
    {
        ScriptedSeam seam;
        TForm1 window;
        window.show();
        window.pages()->setCurrentIndex(2);
        DrawingPage* page = window.drawingPage();
        TLine line{0, 300, 1000, 300, 0x0000FF, 0, {}};
        page->model().LinesF2.append(line);
        QTabBar* tabs = page->floorTabs();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QCOMPARE(page->model().CurrentFloor, 2);
        QCOMPARE(tabs->currentIndex(), 1);
        // Already composed: the red floor-2 line sits on row 150.
        QCOMPARE(page->renderer().offscreen().pixelColor(200, 150), QColor(255, 0, 0));
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
        QCOMPARE(page->model().CurrentFloor, 3);
        QCOMPARE(page->renderer().offscreen().pixelColor(200, 150), QColor(Qt::white));
    }

    void sideMenuItems()
    {
        ScriptedSeam seam;
        TForm1 window;
        window.show();
        auto* menu = child<SideMenu>(window, "InspectorBar1");
        QCOMPARE(menu->panelCaption(0), QStringLiteral("メニュー"));
        QCOMPARE(menu->itemCount(0), 5);
        for (int page : {2, 1, 0}) {
            QTest::mouseClick(menu->itemButton(0, page), Qt::LeftButton);
            QCOMPARE(window.pages()->currentIndex(), page);
        }
        auto* nav = child<NavigatorPanel>(window, "DBInspectorBar1");
        nav->setButtonSize(30);
        int dialogs = 0;
        window.connectCommand()->showDialog = [&](TSQLLogin&) { ++dialogs; }; // closed without a request
        window.InspectorBar1ItemClick(0, 3);                                  // サーバー接続
        QCOMPARE(nav->buttonSize(), 18);
        QCOMPARE(dialogs, 1);
        QVERIFY(seam.messages().isEmpty());
        window.InspectorBar1ItemClick(1, 0); // another panel: nothing
        window.InspectorBar1ItemClick(0, 9);
        QCOMPARE(window.pages()->currentIndex(), 0);
        QVERIFY(window.isVisible());
        QTest::mouseClick(menu->itemButton(0, 4), Qt::LeftButton); // システム終了
        QVERIFY(!window.isVisible());
    }

    void pageSideMenusNeverSwitchPages()
    {
        ScriptedSeam seam;
        TForm1 window;
        window.show();
        window.pages()->setCurrentIndex(2);
        auto* drawingMenu = child<SideMenu>(window, "InspectorBar3");
        QCOMPARE(drawingMenu->panelCaption(0), QStringLiteral("図面メニュー"));
        QCOMPARE(drawingMenu->panelCaption(1), QStringLiteral("図面ファイル"));
        QVERIFY(!drawingMenu->isPanelOpen(1));
        for (int i = 0; i < drawingMenu->itemCount(0); ++i)
            QTest::mouseClick(drawingMenu->itemButton(0, i), Qt::LeftButton);
        QCOMPARE(window.pages()->currentIndex(), 2);
        auto* sheetMenu = child<SideMenu>(window, "InspectorBar2");
        QCOMPARE(sheetMenu->panelCaption(1), QStringLiteral("明細ファイル"));
        QVERIFY(!sheetMenu->isPanelOpen(1));
    }

    void owariClosesAtOnce()
    {
        ScriptedSeam seam;
        TForm1 window;
        window.show();
        QTest::mouseClick(child<QToolButton>(window, "Owari"), Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QVERIFY(seam.shown.isEmpty()); // nothing asked
    }

    void helpMenu()
    {
        ScriptedSeam seam;
        TForm1 window;
        window.show();
        QMenu* menu = window.helpMenu();
        QCOMPARE(menu->actions().size(), 1);
        QCOMPARE(menu->actions().first()->text(), QStringLiteral("ヘルプ"));
        auto* button = child<QToolButton>(window, "ToolbarButton972");
        QVERIFY(button->width() > button->iconSize().width() + 8); // room for the drop-down arrow
        window.ToolbarButton972Click();
        QVERIFY(menu->isVisible());
        const QPoint below = button->mapToGlobal(QPoint(0, button->height()));
        QCOMPARE(menu->pos(), below);
        menu->hide();

        setHtmlHelpImpl(recordHelp);
        menu->actions().first()->trigger();
        setHtmlHelpImpl(nullptr);
        QCOMPARE(lastHelp.count, 1);
        QCOMPARE(lastHelp.command, HH_DISPLAY_TOC);
        QCOMPARE(lastHelp.data, quintptr(0));
        QCOMPARE(lastHelp.file, QCoreApplication::applicationDirPath() + QStringLiteral("/muneya2005.CHM"));
        QCOMPARE(applicationHelpFile(), lastHelp.file);
    }

    void hints()
    {
        ScriptedSeam seam;
        TForm1 window;
        window.show();
        HintTracker* tracker = window.hintTracker();
        StatusPanelBar* bar = window.statusBarPanels();
        const struct {
            const char* name;
            const char* hint;
        } cases[] = {
            {"MMenu", "明細読込!"},
            {"ToolbarButton976", "SQLServerに接続します。"},
            {"Owari", "終了"},
            {"ToolbarButton972", ""},
            {"PCheck1", "右クリックで登録を消去します。（確認あり）"},
            {"PaintBox1", "拡大(左ｸﾘｯｸ)縮小(右)!"},
            {"Edit1", "実行ｷｰで曖昧検索/空白で最初に戻ります。"},
        };
        for (const auto& c : cases) {
            bar->setMessage(QStringLiteral("前のメッセージ"));
            tracker->hover(child<QWidget>(window, "ClientArea")); // between controls
            tracker->hover(window.findChild<QWidget*>(QString::fromLatin1(c.name)));
            QCOMPARE(bar->message(), QString::fromUtf8(c.hint));
        }
        // Tooltips only where marked.
        QCOMPARE(child<QToolButton>(window, "MMenu")->toolTip(), QStringLiteral("明細読込!"));
        QVERIFY(child<QToolButton>(window, "ToolbarButton974")->toolTip().isEmpty());
    }

    void layout()
    {
        ScriptedSeam seam;
        TForm1 window;
        window.show();
        QTabWidget* pages = window.pages();
        QCOMPARE(pages->count(), 4);
        QCOMPARE(pages->tabText(0), QStringLiteral("基本項目"));
        QCOMPARE(pages->tabText(1), QStringLiteral("評点明細"));
        QCOMPARE(pages->tabText(2), QStringLiteral("家屋図面"));
        QCOMPARE(pages->tabText(3), QStringLiteral("一覧"));
        auto* search = child<QTabWidget>(window, "PageControl2");
        QCOMPARE(search->tabPosition(), QTabWidget::South);
        QStringList tabs;
        for (int i = 0; i < search->count(); ++i)
            tabs << search->tabText(i);
        QCOMPARE(tabs, QStringList({"氏名検索", "行政区検索", "日付検索", "備考検索"}));
        QCOMPARE(child<FlatEdit>(window, "zmfile")->text(), QStringLiteral("図面"));
        QCOMPARE(child<FlatEdit>(window, "exfile")->text(), QStringLiteral("明細"));
        // The canvas shows the whole picture the renderer composes.
        QCOMPARE(window.drawingPage()->paintBox()->size(), window.drawingPage()->renderer().offscreen().size());
        // The toolbar buttons in their order, left to right.
        QStringList order;
        for (auto* b : window.findChildren<QToolButton*>())
            if (b->parentWidget() && b->parentWidget()->inherits("QToolBar") && !b->objectName().isEmpty()
                && !b->objectName().startsWith(QLatin1String("qt_")))
                order << b->objectName();
        std::sort(order.begin(), order.end(), [&](const QString& a, const QString& b) {
            auto x = [&](const QString& n) { auto* w = window.findChild<QWidget*>(n); return w->mapTo(&window, QPoint()).x(); };
            return x(a) < x(b);
        });
        QCOMPARE(order, QStringList({"MMenu", "ToolbarButton973", "ToolbarButton971", "ZmRead", "ToolbarButton974", "ToolbarButton975", "ToolbarButton976", "ToolbarButton972", "Owari", "ToolbarButton977"}));
        // Every control is reachable by an accessible name.
        QCOMPARE(child<QWidget>(window, "Edit1")->accessibleName(), QStringLiteral("[氏名]"));
    }

    void everyPageLaysOutCleanly()
    {
        ScriptedSeam seam;
        TForm1 window;
        window.show();
        for (int page = 0; page < window.pages()->count(); ++page) {
            window.pages()->setCurrentIndex(page);
            const QStringList faults = layoutFaults(&window);
            QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
        }
    }

    void theWindowGrows_data()
    {
        QTest::addColumn<QSize>("asked");
        QTest::addColumn<QSize>("size");
        QTest::newRow("smaller than designed") << QSize(600, 400) << QSize(883, 610);
        QTest::newRow("designed") << QSize(883, 610) << QSize(883, 610);
        QTest::newRow("wider only") << QSize(1280, 610) << QSize(1280, 610);
        QTest::newRow("1600 x 1000") << QSize(1600, 1000) << QSize(1600, 1000);
        QTest::newRow("1920 x 1080") << QSize(1920, 1080) << QSize(1920, 1080);
    }
    // The designed size is the smallest; larger, the sheet, the pages and
    // the canvas frame take the room and the rest keeps to its edges.
    void theWindowGrows()
    {
        QFETCH(QSize, asked);
        QFETCH(QSize, size);
        ScriptedSeam seam;
        TForm1 window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto place = [&](const char* name) {
            QWidget* w = child<QWidget>(window, name);
            return QRect(w->mapTo(&window, QPoint()), w->size());
        };
        const QRect book = place("F5Book1"), strip = place("Panel1"), nav = place("DBInspectorBar1"),
                    form = place("GroupBox12");
        const QSize grown = size - QSize(883, 610);

        // A red segment at drawing x = dx: pixel dx/2 at the start-up zoom,
        // 40 pixels left of the grown canvas's right edge at zoom 0.6.
        DrawingPage* drawing = window.drawingPage();
        PaintBox* canvas = drawing->paintBox();
        const QSize canvasSize = QSize(590, 410) + grown;
        const int dx = int((canvasSize.width() - 40) / 0.6);
        drawing->model().LinesF1 << TLine{dx, 20, dx, 2 * (canvasSize.height() - 20), 0x0000FF, 0, {}};
        window.pages()->setCurrentIndex(2);
        drawing->redraw();
        const QImage designed = canvas->grab().toImage();

        window.resize(asked);
        QTRY_COMPARE(window.size(), size);
        QApplication::processEvents();
        for (int page = 0; page < window.pages()->count(); ++page) {
            window.pages()->setCurrentIndex(page);
            QApplication::processEvents();
            const QStringList faults = layoutFaults(&window);
            QVERIFY2(faults.isEmpty(), qPrintable(QStringLiteral("page %1: ").arg(page) + faults.join(u'\n')));
        }
        QCOMPARE(place("F5Book1"), book.adjusted(0, 0, grown.width(), grown.height()));
        QCOMPARE(place("Panel1"), strip.translated(0, grown.height()));
        QCOMPARE(place("DBInspectorBar1"), nav.translated(0, grown.height()));
        QCOMPARE(place("GroupBox12"), form);
        // the strip stays clear of the status bar, the sheet of the strip
        QVERIFY(place("Panel1").bottom() < place("dfsStatusBar1").top());
        QVERIFY(place("PageControl1").bottom() < place("Panel1").top());
        QVERIFY(place("SheetOrigin").bottom() <= place("PageControl1").bottom());
        QVERIFY(!place("SheetOrigin").intersects(place("F5Book1")));

        // The canvas takes its frame's new room and shows the drawing there.
        window.pages()->setCurrentIndex(2);
        QApplication::processEvents();
        QCOMPARE(canvas->size(), canvasSize);
        QVERIFY(place("PaintBox1").bottom() < place("FloorTabs").top());
        QVERIFY(place("FloorTabs").bottom() <= place("FlatTabControl1").bottom());
        QImage shot = canvas->grab().toImage();
        QCOMPARE(shot.size(), canvasSize);
        const QColor red(255, 0, 0);
        QCOMPARE(shot.pixelColor(int(dx * 0.5), canvasSize.height() / 2), red);
        QCOMPARE(shot.pixelColor(int(dx * 0.5), canvasSize.height() - 22), red);

        // A click near the grown canvas's bottom-right corner reaches the
        // canvas, and the zoom it makes puts the segment where it belongs.
        const QPoint at = canvas->mapTo(&window, QPoint(canvasSize.width() - 5, canvasSize.height() - 5));
        QWidget* hit = window.childAt(at);
        QCOMPARE(hit, static_cast<QWidget*>(canvas));
        QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFrom(&window, at));
        QCOMPARE(drawing->zoomDisp()->text(), QStringLiteral(" 0.60"));
        shot = canvas->grab().toImage();
        QCOMPARE(shot.pixelColor(int(dx * 0.6), canvasSize.height() / 2), red);
        QVERIFY(shot.pixelColor(int(dx * 0.5), canvasSize.height() / 2) != red);
        QTest::mouseClick(hit, Qt::RightButton, {}, hit->mapFrom(&window, at));
        QCOMPARE(drawing->zoomDisp()->text(), QStringLiteral(" 0.50"));

        // The floor tabs keep working at their new place.
        QTabBar* floors = drawing->floorTabs();
        QTest::mouseClick(floors, Qt::LeftButton, {}, floors->tabRect(1).center());
        QCOMPARE(drawing->model().CurrentFloor, 2);
        QTest::mouseClick(floors, Qt::LeftButton, {}, floors->tabRect(0).center());
        QCOMPARE(drawing->model().CurrentFloor, 1);

        // Back at the smallest size it is the start-up picture again.
        window.resize(600, 400);
        QTRY_COMPARE(canvas->size(), QSize(590, 410));
        QCOMPARE(canvas->grab().toImage(), designed);
    }

    // Where nothing holds the window to its smallest size, it is cut off
    // at its edges; the status bar does not move over the pages or the strip.
    void belowTheSmallestSizeTheLayoutIsCutOff()
    {
        ScriptedSeam seam;
        TForm1 window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto place = [&](const char* name) {
            QWidget* w = child<QWidget>(window, name);
            return QRect(w->mapTo(&window, QPoint()), w->size());
        };
        const QRect status = place("dfsStatusBar1"), pages = place("PageControl1"), search = place("PageControl2");
        window.setMinimumSize(1, 1); // as a window manager that ignores the hint
        window.resize(600, 400);
        QTRY_COMPARE(window.size(), QSize(600, 400));
        QApplication::processEvents();
        QCOMPARE(place("dfsStatusBar1"), status);
        QCOMPARE(place("PageControl1"), pages);
        QCOMPARE(place("PageControl2"), search);
        QCOMPARE(window.drawingPage()->paintBox()->size(), QSize(590, 410));
    }

    void japaneseFontIsInstalled()
    {
        const QFontInfo info(QApplication::font());
        QVERIFY2(QStringList({"IPAPGothic", "IPAGothic", "Noto Sans CJK JP", "VL PGothic"}).contains(info.family()),
                 qPrintable(info.family()));
        QCOMPARE(QApplication::font().pixelSize(), 12);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
