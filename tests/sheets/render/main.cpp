// Runs the test classes of the sheet pictures one after another.
#include "sheets/render/FontFamilies.h"

#include <QGuiApplication>
#include <QtTest>

#include <memory>

QObject* makeTestGeometry();
QObject* makeTestCellTexts();
QObject* makeTestPixels();
QObject* makeTestPrint();

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    tegaro::sheets::installDigitMeasure();
    int failed = 0;
    for (auto make : {makeTestGeometry, makeTestCellTexts, makeTestPixels, makeTestPrint}) {
        std::unique_ptr<QObject> test(make());
        failed += QTest::qExec(test.get(), argc, argv);
    }
    return failed == 0 ? 0 : 1;
}
