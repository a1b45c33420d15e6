// Runs the test classes of the spreadsheet engine one after another.
#include <QCoreApplication>
#include <QtTest>

#include <memory>

QObject* makeTestFormats();
QObject* makeTestXls();
QObject* makeTestMemory();
QObject* makeTestFormulas();
QObject* makeTestFunctions();
QObject* makeTestRecalc();
QObject* makeTestEntry();
QObject* makeTestFormulaText();
QObject* makeTestSelection();
QObject* makeTestSheetTool();
QObject* makeTestPackageAgreement();
QObject* makeTestXlsxPackages();
QObject* makeTestOdsPackages();
QObject* makeTestDamagedPackages();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int failed = 0;
    for (auto make : {makeTestFormats, makeTestXls, makeTestMemory, makeTestEntry, makeTestSelection, makeTestFormulaText, makeTestPackageAgreement,
                      makeTestXlsxPackages, makeTestOdsPackages, makeTestDamagedPackages,
                      makeTestFormulas, makeTestFunctions, makeTestRecalc, makeTestSheetTool}) {
        std::unique_ptr<QObject> test(make());
        failed += QTest::qExec(test.get(), argc, argv);
    }
    return failed == 0 ? 0 : 1;
}
