#include "records/list/ListExport.h"

#include "core/Errors.h"
#include "records/list/CsvWriter.h"
#include "records/list/XlsxWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cstdio>

namespace tegaro {

QString exportFilter()
{
    return QStringLiteral("Excel ブック|*.xlsx|CSV UTF-8|*.csv|CSV Shift-JIS|*.csv");
}

ExportFormat exportFormatFor(int filterIndex, const QString& path)
{
    const ExportFormat chosen = filterIndex == 1 ? ExportFormat::CsvUtf8
        : filterIndex == 2                       ? ExportFormat::CsvCp932
                                                 : ExportFormat::Xlsx;
    if (path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive))
        return ExportFormat::Xlsx;
    if (path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive) && chosen == ExportFormat::Xlsx)
        return ExportFormat::CsvUtf8;
    return chosen;
}

void replaceFile(const QString& written, const QString& target)
{
    // rename() replaces the target at once, where QFile::rename would not
    // replace it at all.
    if (std::rename(QFile::encodeName(written).constData(), QFile::encodeName(target).constData()) != 0)
        throw EInOutError(QStringLiteral("ファイルを置き換えられません：") + target);
}

namespace {
QString problemText(const QList<Unencodable>& problems)
{
    const QList<ListColumn>& columns = houseListColumns();
    QStringList lines;
    for (const Unencodable& p : problems)
        lines << (p.row < 0 ? QStringLiteral("見出し") : QStringLiteral("%1行目").arg(p.row + 1))
                + QStringLiteral(" %1「%2」").arg(columns[p.column].header, p.character);
    return QStringLiteral("Shift-JIS で書けない文字があります。CSV UTF-8 か Excel ブックで書き出してください。\n")
        + lines.join(u'\n');
}

ExportResult writeCsvFile(const ListRows& rows, const QString& path, CsvEncoding encoding, const ListProgress& progress)
{
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        throw EInOutError(QStringLiteral("ファイルを作れません：") + path + u'\n' + out.errorString());
    ExportResult result;
    result.rows = rows.count();
    if (!writeCsv(rows, out, encoding, progress)) {
        out.cancelWriting();
        result.outcome = ExportResult::Cancelled;
        return result;
    }
    if (!out.commit())
        throw EInOutError(QStringLiteral("ファイルに書き込めません：") + path + u'\n' + out.errorString());
    return result;
}

ExportResult writeXlsxFile(const ListRows& rows, const QString& path, const ListProgress& progress)
{
    ExportResult result;
    result.rows = rows.count();
    if (result.rows > kXlsxMaxRows) {
        result.outcome = ExportResult::Refused;
        result.message = QStringLiteral("Excel ブックには %1 行までしか書けません。CSV で書き出してください。")
                             .arg(numberText(kXlsxMaxRows));
        return result;
    }
    // A name of our own beside the target, for the writer to fill.
    QString temp;
    {
        QTemporaryFile reserve(path + QStringLiteral(".XXXXXX.part"));
        reserve.setAutoRemove(false);
        if (!reserve.open())
            throw EInOutError(QStringLiteral("ファイルを作れません：") + path + u'\n' + reserve.errorString());
        temp = reserve.fileName();
    }
    try {
        const XlsxResult written = writeXlsx(rows, temp, progress);
        if (!written.written) {
            QFile::remove(temp);
            result.outcome = ExportResult::Cancelled;
            return result;
        }
        // The reserved name was private to us; the list is a file like any other.
        const QFileDevice::Permissions usual = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
        QFile::setPermissions(temp, QFileInfo::exists(path) ? QFile::permissions(path) : usual);
        if (written.shortened > 0)
            result.message = QStringLiteral("%1 個のセルは長すぎるため %2 文字で切りました。")
                                 .arg(written.shortened)
                                 .arg(kXlsxMaxText);
        replaceFile(temp, path);
    } catch (...) {
        QFile::remove(temp);
        throw;
    }
    return result;
}
} // namespace

ExportResult exportList(const ListRows& rows, const QString& path, ExportFormat format, const ListProgress& progress)
{
    if (QFileInfo(path).isDir())
        throw EInOutError(QStringLiteral("フォルダーには書き出せません：") + path);
    switch (format) {
    case ExportFormat::Xlsx: return writeXlsxFile(rows, path, progress);
    case ExportFormat::CsvUtf8: return writeCsvFile(rows, path, CsvEncoding::Utf8, progress);
    case ExportFormat::CsvCp932: {
        // Looked for before anything is written: no character is replaced
        // behind the user's back.
        const QList<Unencodable> problems = cp932Problems(rows);
        if (!problems.isEmpty()) {
            ExportResult refused;
            refused.outcome = ExportResult::Refused;
            refused.rows = rows.count();
            refused.message = problemText(problems);
            return refused;
        }
        return writeCsvFile(rows, path, CsvEncoding::Cp932, progress);
    }
    }
    return {};
}

} // namespace tegaro
