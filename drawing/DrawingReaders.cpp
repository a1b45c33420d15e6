#include "drawing/DrawingReaders.h"

#include "core/Cp932.h"
#include "core/Errors.h"
#include "drawing/CurrentFormat.h"
#include "drawing/DrawingErrors.h"
#include "drawing/DrawingTextScanner.h"
#include "drawing/NumberText.h"
#include "drawing/OldFormat.h"

#include <QFile>

namespace tegaro {

namespace {

// Values of a drawing file, read as text.
class FileValues {
public:
    explicit FileValues(DrawingTextScanner& s) : s_(s) {}

    qint32 integer()
    {
        const QByteArray token = s_.readNumberToken();
        qint32 v = 0;
        if (!token.isEmpty() && !parseInteger(QByteArrayView(token), v))
            malformed(token);
        return v;
    }
    double real()
    {
        const QByteArray token = s_.readNumberToken();
        double v = 0;
        if (!token.isEmpty() && !parseReal(QByteArrayView(token), v))
            malformed(token);
        return v;
    }
    QString text() { return fromCp932(s_.readLine()); }
    void skipText() { s_.readLine(); }
    bool hasMore() const { return !s_.atEnd(); }

private:
    [[noreturn]] void malformed(const QByteArray& token)
    {
        throw EInOutError(QStringLiteral("図面ファイルの %1 行目の数値の形式が正しくありません: %2")
                              .arg(s_.tokenLine())
                              .arg(fromCp932(token.left(40))));
    }
    DrawingTextScanner& s_;
};

// Values of a stored drawing: one entry each, converted whole.
class StoredValues {
public:
    explicit StoredValues(const QStringList& lines) : lines_(lines) {}

    qint32 integer()
    {
        const QString& e = entry();
        return convertInteger(e, next_);
    }
    double real()
    {
        const QString& e = entry();
        return convertReal(e, next_);
    }
    QString text() { return entry(); }
    void skipText() { ++next_; }          // not looked at, so it need not be there
    bool hasMore() const { return true; } // running out is an error below

private:
    const QString& entry()
    {
        if (next_ < 0 || next_ >= lines_.size())
            throw EListError(QStringLiteral("図面の %1 行目がありません（%2 行の図面です）")
                                 .arg(next_ + 1)
                                 .arg(lines_.size()));
        return lines_[next_++];
    }
    const QStringList& lines_;
    qsizetype next_ = 1; // entry 0 is the first line
};

// The end of every read that got past its first line: the grid starts at
// the header origin again.
void finishRead(DrawingModel& m, DrawingReport& report)
{
    m.GridOriginX = m.HeaderOriginX;
    m.GridOriginY = m.HeaderOriginY;
    report.statusTexts << QStringLiteral("切替え");
}

// The layout readers call progress without asking whether there is one.
DrawingProgress orNothing(const DrawingProgress& progress)
{
    return progress ? progress : DrawingProgress([](int) {});
}

} // namespace

DrawingFormat formatOfFirstLine(QByteArrayView line)
{
    if (line == "$headerpas" || line == "$headerpasp")
        return DrawingFormat::Current;
    if (line == "\"$heder\"" || line == "\"$heder2\"")
        return DrawingFormat::Old;
    return DrawingFormat::Unrecognised;
}

DrawingReport ReadDrawingFile(DrawingModel& m, const QString& path, const DrawingProgress& progress)
{
    m.releaseAllLists();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("図面ファイルを開けません: %1（%2）").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    file.close();
    return ReadDrawingBytes(m, bytes, progress);
}

DrawingReport ReadDrawingBytes(DrawingModel& m, const QByteArray& bytes, const DrawingProgress& givenProgress)
{
    const DrawingProgress progress = orNothing(givenProgress);
    m.releaseAllLists();
    DrawingTextScanner scanner(bytes);
    DrawingReport report;
    report.format = formatOfFirstLine(QByteArrayView(scanner.readLine()));
    switch (report.format) {
    case DrawingFormat::Unrecognised:
        report.messages << QStringLiteral("家屋図面(木造)ではありません!");
        return report;
    case DrawingFormat::Current: {
        FileValues values(scanner);
        detail::readCurrentLayout(m, values, progress);
        report.gridOrigin = QPoint(m.GridOriginX, m.GridOriginY);
        progress(0);
        report.statusTexts << QStringLiteral("読込完了..");
        break;
    }
    case DrawingFormat::Old:
        detail::readOldLayout(m, scanner, progress);
        report.gridOrigin = QPoint(m.GridOriginX, m.GridOriginY);
        progress(100);
        report.statusTexts << QStringLiteral(" 図面読込完了..");
        break;
    }
    finishRead(m, report);
    return report;
}

DrawingReport ReadStoredDrawing(DrawingModel& m, const DrawingProgress& givenProgress)
{
    const DrawingProgress progress = orNothing(givenProgress);
    const QStringList& lines = m.StoredDrawingLines;
    DrawingReport report;
    // An empty text has no first line to recognise: nothing to read.
    report.format =
        lines.isEmpty() ? DrawingFormat::Unrecognised : formatOfFirstLine(QByteArrayView(toCp932(lines.first())));
    if (report.format == DrawingFormat::Current) {
        StoredValues values(lines);
        detail::readCurrentLayout(m, values, progress);
        report.gridOrigin = QPoint(m.GridOriginX, m.GridOriginY);
        progress(0);
        report.statusTexts << QStringLiteral("読込完了..");
    } else if (report.format == DrawingFormat::Old) {
        report.messages << QStringLiteral("旧家屋図面です。");
    }
    finishRead(m, report);
    return report;
}

QString RemoveQuotes(const QString& line)
{
    QString out = line;
    out.remove(QLatin1Char('"'));
    return out;
}

QStringList SplitFields(const QString& line)
{
    return line.split(QLatin1Char(','), Qt::KeepEmptyParts);
}

QStringList splitStoredDrawing(QByteArrayView bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes = bytes.first(nul);
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n')
            continue;
        lines << fromCp932(bytes.sliced(start, i - start));
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < bytes.size())
        lines << fromCp932(bytes.sliced(start));
    return lines;
}

} // namespace tegaro
