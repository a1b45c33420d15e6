#include "core/Cp932.h"
#include "core/HtmlHelp.h"
#include "help/HelpText.h"
#include "help/HelpViewer.h"
#include "help/HelpWindow.h"
#include "help/Sitemap.h"

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace tegaro;

namespace {

const QString helpFile = QStringLiteral(TEGARO_BIN_DIR "/muneya2005.CHM");

// "name(local)[children]" for every entry, so a whole tree compares as one string.
QString outline(const QList<ContentsEntry>& entries)
{
    QStringList parts;
    for (const auto& e : entries) {
        QString part = e.name + u'(' + e.local + u')';
        if (!e.children.isEmpty())
            part += u'[' + outline(e.children) + u']';
        parts << part;
    }
    return parts.join(u',');
}

QStringList topLevelNames(const QTreeWidget* tree)
{
    QStringList names;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        names << tree->topLevelItem(i)->text(0);
    return names;
}

QString item(const QString& name, const QString& local)
{
    return QStringLiteral("<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"%1\">"
                          "<param name=\"Local\" value=\"%2\"></OBJECT>")
        .arg(name, local);
}

} // namespace

class TestHelp : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo::exists(helpFile), qPrintable("help file not built: " + helpFile));
        installHelpViewer();
    }

    void decodesAsDeclared_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        const QString jp = QStringLiteral("家屋図面①～");
        const QByteArray sjisMeta = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">";
        QTest::newRow("shift_jis declared") << sjisMeta + toCp932(jp) << QString(sjisMeta) + jp;
        QTest::newRow("utf-8 declared") << "<meta charset=\"utf-8\">" + jp.toUtf8()
                                        << "<meta charset=\"utf-8\">" + jp;
        QTest::newRow("undeclared utf-8") << jp.toUtf8() << jp;
        QTest::newRow("undeclared cp932") << toCp932(jp) << jp;
        QTest::newRow("utf-8 bom") << "\xEF\xBB\xBF" + jp.toUtf8() << jp;
    }
    void decodesAsDeclared()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(decodeHelpText(bytes), text);
    }

    void parsesContents_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("tree");
        QTest::newRow("nested") << "<UL>" + item("A", "a.html") + "<UL>" + item("B", "b.html#x")
                + item("C", "c.html") + "</UL>" + item("D", "d.html") + "</UL>"
                                << "A(a.html)[B(b.html#x),C(c.html)],D(d.html)";
        QTest::newRow("entities and case") << "<ul><li><object TYPE='text/sitemap'><PARAM NAME=name "
                                              "VALUE='R&amp;D &#x56F3;'><param name=local value=r.html>"
                                              "</object></ul>"
                                           << "R&D 図(r.html)";
        QTest::newRow("quoted angle bracket") << "<UL>" + item("1F > 2F", "a.html") + "</UL>"
                                              << "1F > 2F(a.html)";
        QTest::newRow("list before any item") << "<UL><UL>" + item("A", "a.html") + "</UL></UL>"
                                              << "A(a.html)";
        QTest::newRow("stray closing lists") << "</UL></UL>" + item("A", "a.html") + "</UL>"
                                             << "A(a.html)";
        QTest::newRow("other objects ignored")
            << "<OBJECT type=\"text/site properties\"><param name=\"Name\" value=\"X\"></OBJECT>"
                + item("A", "a.html")
            << "A(a.html)";
        QTest::newRow("first name wins") << "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" "
                                            "value=\"一\"><param name=\"Name\" value=\"二\"></OBJECT></UL>"
                                         << "一()";
    }
    void parsesContents()
    {
        QFETCH(QString, html);
        QFETCH(QString, tree);
        QCOMPARE(outline(parseSitemap(html)), tree);
    }

    // One window serves every command; each step checks what it shows.
    void commandsOpenTheRightPage_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<uint>("command");
        QTest::addColumn<int>("data");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("shows");
        QTest::addColumn<bool>("hasContents");

        static QTemporaryDir dir;
        const QString garbage = dir.filePath("broken.CHM");
        QFile f(garbage);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("ITSF") + QByteArray(3000, '\x7f'));
        f.close();

        // Damaged compression settings, on which the reader library faults.
        QFile built(helpFile);
        QVERIFY(built.open(QIODevice::ReadOnly));
        const QByteArray good = built.readAll();
        const qsizetype lzxc = good.indexOf("LZXC");
        QVERIFY(lzxc > 0);
        const auto damaged = [&](const char* name, qsizetype offset, char value) {
            QByteArray bytes = good;
            bytes[lzxc + offset] = value;
            QFile out(dir.filePath(name));
            if (out.open(QIODevice::WriteOnly))
                out.write(bytes);
            return out.fileName();
        };
        const QString badVersion = damaged("version.CHM", 4, 1);
        const QString badWindow = damaged("window.CHM", 12, 0);

        QTest::newRow("contents") << helpFile << HH_DISPLAY_TOC << 0 << "/index.html"
                                  << "Tegaro の概要" << true;
        QTest::newRow("context 9") << helpFile << HH_HELP_CONTEXT << 9 << "/connect.html"
                                   << "SQLサーバー名" << true;
        QTest::newRow("unmapped context") << helpFile << HH_HELP_CONTEXT << 4711 << "/index.html"
                                          << "Tegaro の概要" << true;
        QTest::newRow("missing file") << dir.filePath("none.CHM") << HH_DISPLAY_TOC << 0 << ""
                                      << "ヘルプファイルが見つかりません。" << false;
        QTest::newRow("contents again") << helpFile << HH_DISPLAY_TOC << 0 << "/index.html"
                                        << "Tegaro の概要" << true;
        QTest::newRow("not a help file") << garbage << HH_HELP_CONTEXT << 9 << ""
                                         << "ヘルプファイルを読み込めません。" << false;
        QTest::newRow("damaged version") << badVersion << HH_DISPLAY_TOC << 0 << ""
                                         << "ヘルプファイルを読み込めません。" << false;
        QTest::newRow("damaged window") << badWindow << HH_HELP_CONTEXT << 9 << ""
                                        << "ヘルプファイルを読み込めません。" << false;
        QTest::newRow("context 9 again") << helpFile << HH_HELP_CONTEXT << 9 << "/connect.html"
                                         << "Hotaku.ini" << true;
    }
    void commandsOpenTheRightPage()
    {
        QFETCH(QString, file);
        QFETCH(uint, command);
        QFETCH(int, data);
        QFETCH(QString, page);
        QFETCH(QString, shows);
        QFETCH(bool, hasContents);

        HelpWindow* before = helpWindow();
        HtmlHelpA(nullptr, file, command, quintptr(data));
        HelpWindow* w = helpWindow();
        QVERIFY(w);
        if (before)
            QCOMPARE(w, before);
        QVERIFY(w->isVisible());
        QVERIFY(w->isWindow());
        QVERIFY(!w->parentWidget());
        if (!page.isEmpty())
            QCOMPARE(w->browser()->source().path(), page);
        QVERIFY2(w->browser()->toPlainText().contains(shows), qPrintable(w->browser()->toPlainText().left(200)));
        QCOMPARE(w->contents()->topLevelItemCount() > 0, hasContents);
    }

    void contentsFollowThePage()
    {
        HtmlHelpA(nullptr, helpFile, HH_HELP_CONTEXT, 9);
        HelpWindow* w = helpWindow();
        QVERIFY(w);
        QCOMPARE(topLevelNames(w->contents()),
                 QStringList({"Tegaro の概要", "起動とサーバー接続", "家屋の記録（基本項目）", "評点明細", "家屋図面"}));
        QCOMPARE(w->windowTitle(), QStringLiteral("Tegaro ヘルプ"));
        QVERIFY(w->contents()->currentItem());
        QCOMPARE(w->contents()->currentItem()->text(0), QStringLiteral("起動とサーバー接続"));
    }

    void clickedEntryShowsItsPlace_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("fragment");
        QTest::newRow("page") << "家屋図面"
                              << "/drawing.html"
                              << "";
        QTest::newRow("nested page") << "記録の検索"
                                     << "/search.html"
                                     << "";
        QTest::newRow("place in a page") << "設定ファイル Hotaku.ini"
                                         << "/connect.html"
                                         << "ini";
    }
    void clickedEntryShowsItsPlace()
    {
        QFETCH(QString, entry);
        QFETCH(QString, page);
        QFETCH(QString, fragment);
        HtmlHelpA(nullptr, helpFile, HH_DISPLAY_TOC, 0);
        QTreeWidget* tree = helpWindow()->contents();
        const auto found = tree->findItems(entry, Qt::MatchExactly | Qt::MatchRecursive);
        QCOMPARE(found.size(), 1);
        tree->scrollToItem(found.first());
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(found.first()).center());
        const QUrl source = helpWindow()->browser()->source();
        QCOMPARE(source.path(), page);
        QCOMPARE(source.fragment(), fragment);
        QCOMPARE(tree->currentItem(), found.first());
    }

    void picturesComeFromTheHelpFile()
    {
        HtmlHelpA(nullptr, helpFile, HH_DISPLAY_TOC, 0);
        HelpBrowser* b = helpWindow()->browser();
        b->setSource(HelpBrowser::topicUrl(QStringLiteral("/drawing.html")));
        const QImage picture = b->loadResource(QTextDocument::ImageResource,
                                               b->source().resolved(QUrl("images/zumen.png")))
                                   .value<QImage>();
        QCOMPARE(picture.size(), QSize(300, 200));
        // Pages never reach outside the help file.
        QVERIFY(!b->loadResource(QTextDocument::HtmlResource, QUrl::fromLocalFile(helpFile)).isValid());
    }

    void linksLeadToOtherPages()
    {
        HtmlHelpA(nullptr, helpFile, HH_DISPLAY_TOC, 0);
        HelpBrowser* b = helpWindow()->browser();
        b->setFocus();
        // Tab picks the first link of the page, Enter follows it.
        QTest::keyClick(b, Qt::Key_Tab);
        QVERIFY(b->textCursor().hasSelection());
        QTest::keyClick(b, Qt::Key_Return);
        QCOMPARE(b->source().path(), QStringLiteral("/record.html"));
        QVERIFY(b->toPlainText().contains(QStringLiteral("ナビゲーター")));
        QCOMPARE(helpWindow()->contents()->currentItem()->text(0), QStringLiteral("家屋の記録（基本項目）"));
    }

    void missingReaderDoesNothing()
    {
        delete helpWindow();
        setHelpReaderLibrary(QStringLiteral("libtegaro-no-such-reader.so.1"));
        HtmlHelpA(nullptr, helpFile, HH_DISPLAY_TOC, 0);
        HtmlHelpA(nullptr, helpFile, HH_HELP_CONTEXT, 9);
        setHelpReaderLibrary(QString());
        QVERIFY(!helpWindow());
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(!w->isVisible());
    }
};

QTEST_MAIN(TestHelp)
#include "test_help.moc"
