#include "records/list/CsvWriter.h"

#include "core/Errors.h"

#include <QHash>
#include <QIODevice>
#include <QStringEncoder>

namespace tegaro {

namespace {
constexpr const char* kCp932 = "windows-31j";
constexpr int kProgressStep = 1000; // rows between two reports

bool looksLikeFormula(const QString& text)
{
    if (text.isEmpty())
        return false;
    switch (text.front().unicode()) {
    case u'=':
    case u'@':
    case u'\t':
    case u'\r': return true;
    case u'+':
    case u'-':
        // Signs, dashes and digits alone ("---", "+81 3-1234", "-7") call
        // nothing; anything more might.
        for (QChar c : text)
            if (!c.isDigit() && !QStringView(u"+-., /").contains(c))
                return true;
        return false;
    default: return false;
    }
}

bool plainAscii(const QString& text)
{
    for (QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

// Which characters CP932 holds, each looked up once. The converter's error
// mark does not go back after a failure, so each lookup has one of its own.
class Cp932Check {
public:
    // The characters of text that CP932 cannot hold.
    QStringList missing(const QString& text)
    {
        QStringList found;
        if (plainAscii(text))
            return found;
        for (qsizetype i = 0; i < text.size();) {
            const qsizetype len = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            const QString ch = text.mid(i, len);
            if (ch.front().unicode() >= 0x80 && !fits(ch))
                found << ch;
            i += len;
        }
        return found;
    }

private:
    bool fits(const QString& ch)
    {
        const char32_t code = ch.size() == 2 ? QChar::surrogateToUcs4(ch[0], ch[1]) : ch[0].unicode();
        auto known = known_.constFind(code);
        if (known != known_.constEnd())
            return *known;
        QStringEncoder encoder(kCp932, QStringConverter::Flag::Stateless);
        const QByteArray bytes = encoder.encode(ch);
        const bool ok = !encoder.hasError() && !bytes.isEmpty();
        known_.insert(code, ok);
        return ok;
    }
    QHash<char32_t, bool> known_;
};

QString csvLine(const QStringList& fields)
{
    QString line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i)
            line += u',';
        line += csvField(fields[i]);
    }
    line += QStringLiteral("\r\n");
    return line;
}
} // namespace

QString csvText(const ListCell& cell)
{
    switch (cell.type) {
    case ListCell::Empty: return {};
    case ListCell::Text: return looksLikeFormula(cell.text) ? u'\'' + cell.text : cell.text;
    case ListCell::Number: return plainNumberText(cell.number);
    case ListCell::Date: return cell.date.toString(QStringLiteral("yyyy/MM/dd"));
    case ListCell::Mark: return markText();
    }
    return {};
}

QString csvField(const QString& text)
{
    bool quote = false;
    for (QChar c : text)
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n') {
            quote = true;
            break;
        }
    if (!quote)
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QList<Unencodable> cp932Problems(const ListRows& rows, int limit, const ListProgress& progress)
{
    QList<Unencodable> problems;
    Cp932Check check;
    const QList<ListColumn>& columns = houseListColumns();
    const QList<int> shown = rows.columns();
    const int n = rows.count();
    for (int r = -1; r < n && problems.size() < limit; ++r) {
        for (int c : shown) {
            if (problems.size() >= limit)
                break;
            const QString text = r < 0 ? columns[c].header : csvText(rows.cell(r, c));
            for (const QString& ch : check.missing(text)) {
                if (problems.size() < limit)
                    problems.append({r, c, ch});
            }
        }
        if (progress && r >= 0 && (r + 1) % kProgressStep == 0 && !progress(r + 1, n))
            break;
    }
    return problems;
}

bool writeCsv(const ListRows& rows, QIODevice& out, CsvEncoding encoding, const ListProgress& progress)
{
    QStringEncoder encoder(encoding == CsvEncoding::Utf8 ? "UTF-8" : kCp932);
    if (!encoder.isValid())
        throw EInOutError(QStringLiteral("文字コードを変換できません。"));
    const auto write = [&out](const QByteArray& bytes) {
        if (out.write(bytes) != bytes.size())
            throw EInOutError(QStringLiteral("ファイルに書き込めません。") + out.errorString());
    };
    if (encoding == CsvEncoding::Utf8)
        write(QByteArray("\xEF\xBB\xBF"));
    const QList<ListColumn>& columns = houseListColumns();
    const QList<int> shown = rows.columns();
    QStringList fields;
    for (int c : shown)
        fields << columns[c].header;
    QString chunk = csvLine(fields);
    const int n = rows.count();
    for (int r = 0; r < n; ++r) {
        fields.clear();
        for (int c : shown)
            fields << csvText(rows.cell(r, c));
        chunk += csvLine(fields);
        if ((r + 1) % kProgressStep == 0) {
            write(encoder.encode(chunk));
            chunk.clear();
            if (progress && !progress(r + 1, n))
                return false;
        }
    }
    write(encoder.encode(chunk));
    if (progress)
        progress(n, n);
    return true;
}

} // namespace tegaro
