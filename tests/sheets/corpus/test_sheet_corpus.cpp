// Workbooks as LibreOffice, Gnumeric and openpyxl write them (made by the
// test: make_corpus.py, then converted by the programs themselves), each
// read by us and compared cell by cell with LibreOffice's "as shown" CSV of
// the same file. Where we follow Excel rather than LibreOffice, the
// difference is one of the conventions below and counts as agreeing.
#include "sheets/Fixtures.h"

#include "sheets/book/WorkbookFile.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/model/Workbook.h"

#include <QDate>
#include <QDateTime>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <functional>

using namespace tegaro::sheets;
using namespace tegaro::sheets::testing;

namespace {

std::optional<double> numberIn(QString text)
{
    text.remove(u',');
    bool ok = false;
    const double d = text.toDouble(&ok);
    return ok ? std::optional(d) : std::nullopt;
}

// A date, and a time of day if one is shown, in the forms the two programs
// show them: ours as Japanese Excel does, LibreOffice's as in English.
std::optional<QDateTime> dateIn(const QString& text)
{
    for (const char* form : {"yyyy/M/d H:mm:ss", "yyyy/M/d H:mm", "yyyy/M/d", "MM/dd/yy HH:mm:ss", "MM/dd/yy HH:mm",
                             "MM/dd/yy", "M/d/yyyy H:mm", "M/d/yyyy", "yyyy-MM-dd"}) {
        QDateTime d = QDateTime::fromString(text, QLatin1String(form));
        if (d.isValid()) {
            if (d.date().year() < 1930 && QByteArray(form).contains("yy") && !QByteArray(form).contains("yyyy"))
                d = d.addYears(100);
            return d;
        }
    }
    return std::nullopt;
}

struct Convention {
    const char* what;
    std::function<bool(const QString& ours, const QString& theirs)> agrees;
};

// Where we show a cell as Excel does and LibreOffice otherwise.
const Convention kConventions[] = {
    {"General numbers in 11 characters, as Excel shows them in a standard column",
     [](const QString& ours, const QString& theirs) {
         // as many digits as fit: the difference is below the last one shown
         const auto a = numberIn(ours), b = numberIn(theirs);
         const qsizetype digits = std::count_if(ours.begin(), ours.end(), [](QChar c) { return c.isDigit(); })
             - (ours.contains(u'E') ? 2 : 0);
         return a && b && ours.size() <= 11 && digits > 0
             && qAbs(*a - *b) <= 0.6 * std::pow(10.0, 1 - double(digits)) * std::max(1.0, qAbs(*b));
     }},
    {"truths as TRUE and FALSE, whatever number format the cell has",
     [](const QString& ours, const QString& theirs) {
         if (ours.compare(theirs, Qt::CaseInsensitive) == 0)
             return ours == u"TRUE" || ours == u"FALSE";
         QString t = theirs;
         const bool percent = t.endsWith(u'%');
         const auto v = numberIn(percent ? t.chopped(1) : t);
         return v && ((ours == u"TRUE" && *v == (percent ? 100 : 1)) || (ours == u"FALSE" && *v == 0));
     }},
    {"Excel's 29 February 1900: the days before March 1900 one day apart", [](const QString& ours, const QString& theirs) {
         const auto a = dateIn(ours), b = dateIn(theirs);
         return a && b && a->date() < QDate(1900, 3, 1) && qAbs(a->date().daysTo(b->date())) == 1;
     }},
    {"dates and times in the Japanese built-in formats (yyyy/m/d, h:mm)", [](const QString& ours, const QString& theirs) {
         const auto a = dateIn(ours), b = dateIn(theirs);
         return a && b && *a == *b;
     }},
};

// One sheet of LibreOffice's CSV: tab between cells, quotes around cells
// that hold tabs, quotes or line ends.
QList<QStringList> readCsv(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(f.readAll());
    QList<QStringList> rows{{}};
    QString cell;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
                cell += u'"', ++i;
            else if (c == u'"')
                quoted = false;
            else
                cell += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u'\t') {
            rows.last() << cell;
            cell.clear();
        } else if (c == u'\n') {
            rows.last() << cell;
            cell.clear();
            rows << QStringList();
        } else if (c != u'\r') {
            cell += c;
        }
    }
    if (!cell.isEmpty() || !rows.last().isEmpty())
        rows.last() << cell;
    return rows;
}

bool run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(600000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

class TestSheetCorpus : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cellsAsShown();

private:
    QTemporaryDir dir_;
    QStringList files_;
};

void TestSheetCorpus::initTestCase()
{
    if (office().isEmpty() || QStandardPaths::findExecutable(QStringLiteral("ssconvert")).isEmpty())
        QSKIP("LibreOffice and Gnumeric are needed (scripts/install-test-deps.sh)");
    QVERIFY2(run(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(TEGARO_FIXTURES "/../sheets/corpus/make_corpus.py"), dir_.path()}),
             "make_corpus.py failed: is python3-openpyxl installed?");
    const QString d = dir_.path();
    files_ << d + QStringLiteral("/openpyxl.xlsx") << d + QStringLiteral("/inline.xlsx");
    // LibreOffice and Gnumeric save them again, and LibreOffice its own texts
    QDir(d).mkdir(QStringLiteral("lo"));
    QDir(d).mkdir(QStringLiteral("rich"));
    for (const char* format : {"ods", "xlsx"}) {
        const QString ext = QLatin1String(format);
        const QString lo = officeConvert(d + QStringLiteral("/openpyxl.xlsx"), ext, d + QStringLiteral("/lo"), ext);
        const QString rich = officeConvert(d + QStringLiteral("/rich.fods"), ext, d + QStringLiteral("/rich"), ext);
        QVERIFY2(!lo.isEmpty() && !rich.isEmpty(), "LibreOffice did not convert");
        files_ << lo << rich;
        const QString gnumeric = d + QStringLiteral("/gnumeric.") + ext;
        QVERIFY(run(QStringLiteral("ssconvert"), {d + QStringLiteral("/openpyxl.xlsx"), gnumeric}));
        files_ << gnumeric;
    }
}

void TestSheetCorpus::cellsAsShown()
{
    int cells = 0, equal = 0;
    QList<int> byConvention(std::size(kConventions), 0);
    QStringList differences;
    for (const QString& file : files_) {
        const QFileInfo info(file);
        Workbook book;
        try {
            book = readWorkbookFile(file);
        } catch (const ESheetError& e) {
            QFAIL(qPrintable(file + QStringLiteral(": ") + e.message()));
        }
        // LibreOffice writes each sheet to "<name>-<sheet>.csv"
        const QString out = dir_.filePath(QStringLiteral("csv-") + info.dir().dirName() + u'-' + info.fileName());
        QDir().mkpath(out);
        officeConvert(file, QStringLiteral("csv:Text - txt - csv (StarCalc):9,34,76,1,,0,false,true,true,false,false,-1"),
                      out, QStringLiteral("csv"));
        int sheetsCompared = 0;
        for (int s = 0; s < book.sheets.size(); ++s) {
            const QString csv = out + u'/' + info.completeBaseName() + u'-' + book.sheets[s].name + QStringLiteral(".csv");
            if (!QFileInfo::exists(csv))
                continue;
            ++sheetsCompared;
            const QList<QStringList> theirs = readCsv(csv);
            const int rows = std::max<int>(int(theirs.size()), book.sheets[s].lastRow() + 1);
            for (int row = 0; row < rows; ++row) {
                const QStringList line = theirs.value(row);
                const int cols = std::max<int>(int(line.size()), book.sheets[s].lastColumn() + 1);
                for (int col = 0; col < cols; ++col) {
                    const QString o = book.cellText(s, row, col), t = line.value(col);
                    if (o.isEmpty() && t.isEmpty())
                        continue;
                    ++cells;
                    if (o == t) {
                        ++equal;
                        continue;
                    }
                    int i = 0;
                    while (i < int(std::size(kConventions)) && !kConventions[i].agrees(o, t))
                        ++i;
                    if (i < int(std::size(kConventions)))
                        ++byConvention[i];
                    else
                        differences << QStringLiteral("%1 %2!R%3C%4: ours \"%5\", LibreOffice \"%6\"")
                                           .arg(info.dir().dirName() + u'/' + info.fileName(), book.sheets[s].name)
                                           .arg(row + 1)
                                           .arg(col + 1)
                                           .arg(o, t);
                }
            }
        }
        QVERIFY2(sheetsCompared > 0, qPrintable(file));
    }
    int agreeing = equal;
    for (int i = 0; i < int(std::size(kConventions)); ++i) {
        qInfo("convention: %s: %d cells", kConventions[i].what, byConvention[i]);
        agreeing += byConvention[i];
    }
    for (const QString& d : differences.mid(0, 40))
        qInfo("%s", qPrintable(d));
    const double share = cells ? 100.0 * agreeing / cells : 0;
    qInfo("%d files, %d cells: %d equal, %d by a convention, %d differ (%.2f %% agree)", int(files_.size()), cells, equal,
          agreeing - equal, int(differences.size()), share);
    QVERIFY(cells > 500);
    QVERIFY2(share >= 99.5, qPrintable(QStringLiteral("%1 % of the cells agree").arg(share)));
}

int main(int argc, char** argv)
{
    // LibreOffice converts each file twice, slowly on a busy machine
    qputenv("QTEST_FUNCTION_TIMEOUT", "1500000");
    QCoreApplication app(argc, argv);
    TestSheetCorpus test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_sheet_corpus.moc"
