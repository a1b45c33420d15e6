#include "app/Application.h"
#include "app/JpegImage.h"
#include "app/Splash.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QPushButton>
#include <QLabel>
#include <QPointer>
#include <QtTest>

using namespace tegaro;

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { setupApplication(); }

    void jpegDecoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");
        QFile f(QStringLiteral(":/splash/house.jpg"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray house = f.readAll();
        QTest::newRow("splash picture") << house << QSize(300, 225);
        QTest::newRow("empty") << QByteArray() << QSize();
        QTest::newRow("no jpeg") << QByteArray("BM not a jpeg at all") << QSize();
        QTest::newRow("half the file") << house.left(house.size() / 2) << QSize(300, 225);
        QTest::newRow("cut inside the header") << house.left(200) << QSize();
        QTest::newRow("just the marker") << house.left(2) << QSize();
    }
    void jpegDecoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        const QImage image = decodeJpeg(bytes);
        // A truncated file still decodes to its full size (libjpeg fills the rest).
        QCOMPARE(image.isNull() ? QSize() : image.size(), size);
    }
    void qtSpeaksJapanese_data()
    {
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("japanese");
        QTest::newRow("standard button") << "QPlatformTheme"
                                         << "Cancel"
                                         << "キャンセル";
        QTest::newRow("print dialog") << "QPrintDialog"
                                      << "Print"
                                      << "印刷";
        QTest::newRow("file dialog") << "QFileDialog"
                                     << "File &name:"
                                     << "ファイル名(&N):";
    }
    void qtSpeaksJapanese()
    {
        QFETCH(QString, context);
        QFETCH(QString, english);
        QFETCH(QString, japanese);
        QCOMPARE(QCoreApplication::translate(qPrintable(context), qPrintable(english)), japanese);
        if (context == u"QPlatformTheme") {
            QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
            QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), japanese);
        }
    }
    void splashWindow()
    {
        QPointer<TForm2> splash = new TForm2;
        splash->showAndPaint();
        QCOMPARE(splash->windowTitle(), QStringLiteral("Tegaroシステム（MSSQL_Server版）"));
        QVERIFY(splash->hasPicture());
        auto* title = splash->findChild<QLabel*>(QStringLiteral("Label1"));
        auto* picture = splash->findChild<QLabel*>(QStringLiteral("Image1"));
        auto* note = splash->findChild<QLabel*>(QStringLiteral("Label2"));
        QCOMPARE(note->text(), QStringLiteral("ID,PWDが必要です。"));
        // Title and picture whole in the window; the note written on the picture, in front of it.
        QVERIFY(splash->rect().contains(title->geometry()) && splash->rect().contains(picture->geometry()));
        QVERIFY(!title->geometry().intersects(picture->geometry()));
        QVERIFY(picture->geometry().contains(note->geometry()));
        QCOMPARE(splash->childAt(note->geometry().center()), note);
        // Losing activation asks for release; the loop destroys it later.
        QEvent deactivate(QEvent::WindowDeactivate);
        QCoreApplication::sendEvent(splash, &deactivate);
        QVERIFY(splash);
        QTRY_VERIFY(!splash);
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
