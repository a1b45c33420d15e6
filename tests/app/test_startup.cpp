#include "app/JpegImage.h"
#include "app/Splash.h"

#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QtTest>

using namespace tegaro;

class TestStartup : public QObject {
    Q_OBJECT
private slots:
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
    void splashWindow()
    {
        QPointer<TForm2> splash = new TForm2;
        splash->showAndPaint();
        QCOMPARE(splash->windowTitle(), QStringLiteral("Tegaroシステム（MSSQL_Server版）"));
        QCOMPARE(splash->geometry().size(), QSize(356, 342));
        QVERIFY(splash->hasPicture());
        auto* note = splash->findChild<QLabel*>(QStringLiteral("Label2"));
        QCOMPARE(note->text(), QStringLiteral("ID,PWDが必要です。"));
        QCOMPARE(note->pos(), QPoint(216, 80));
        // Losing activation asks for release; the loop destroys it later.
        QEvent deactivate(QEvent::WindowDeactivate);
        QCoreApplication::sendEvent(splash, &deactivate);
        QVERIFY(splash);
        QTRY_VERIFY(!splash);
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
