#include "sheets/render/HeaderFooter.h"

#include "sheets/render/FontFamilies.h"

#include <QFileInfo>

namespace tegaro::sheets {

namespace {

// Builds one part, keeping the font state as the codes change it.
class PartWriter {
public:
    explicit PartWriter(const QFont& base) : font_(base) {}

    void add(const QString& text)
    {
        if (text.isEmpty())
            return;
        QTextCharFormat f;
        f.setFont(font_);
        f.setForeground(color_);
        if (shift_ != 0)
            f.setVerticalAlignment(shift_ > 0 ? QTextCharFormat::AlignSuperScript : QTextCharFormat::AlignSubScript);
        part.formats.append({int(part.text.size()), int(text.size()), f});
        part.text += text;
    }
    QFont& font() { return font_; }
    void setColor(QColor c) { color_ = c; }
    void toggleShift(int s) { shift_ = shift_ == s ? 0 : s; }

    HeaderPart part;

private:
    QFont font_;
    QColor color_ = Qt::black;
    int shift_ = 0;
};

} // namespace

HeaderText parseHeader(const QString& code, const PageFacts& facts, const QFont& base)
{
    PartWriter left(base), centre(base), right(base);
    PartWriter* at = &centre; // text before any section code is centred
    QString pending;
    auto flush = [&] {
        at->add(pending);
        pending.clear();
    };
    const QFileInfo file(facts.filePath);
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c != u'&' || i + 1 >= code.size()) {
            pending += c;
            continue;
        }
        const QChar k = code[++i];
        const QChar upper = k.toUpper();
        if (k == u'&') {
            pending += u'&';
        } else if (upper == u'L' || upper == u'C' || upper == u'R') {
            flush();
            at = upper == u'L' ? &left : upper == u'C' ? &centre
                                                       : &right;
        } else if (upper == u'P') {
            // &P, or &P+n / &P-n
            int page = facts.page;
            if (i + 1 < code.size() && (code[i + 1] == u'+' || code[i + 1] == u'-')) {
                const int sign = code[i + 1] == u'+' ? 1 : -1;
                qsizetype j = i + 2;
                while (j < code.size() && code[j].isDigit())
                    ++j;
                page += sign * code.mid(i + 2, j - i - 2).toInt();
                i = j - 1;
            }
            pending += QString::number(page);
        } else if (upper == u'N') {
            pending += QString::number(facts.pages);
        } else if (upper == u'D') {
            pending += facts.now.toString(QStringLiteral("yyyy/MM/dd"));
        } else if (upper == u'T') {
            pending += facts.now.toString(QStringLiteral("H:mm"));
        } else if (upper == u'A') {
            pending += facts.sheetName;
        } else if (upper == u'F') {
            pending += file.fileName();
        } else if (upper == u'Z') {
            pending += facts.filePath.isEmpty() ? QString() : file.absolutePath() + u'/';
        } else if (k.isDigit()) {
            // a font size in points: up to three digits
            qsizetype j = i;
            while (j < code.size() && j < i + 3 && code[j].isDigit())
                ++j;
            flush();
            at->font().setPointSizeF(std::clamp(code.mid(i, j - i).toInt(), 1, 409));
            i = j - 1;
        } else if (k == u'"') {
            // &"family,style"
            const qsizetype end = code.indexOf(u'"', i + 1);
            const QString spec = code.mid(i + 1, end < 0 ? -1 : end - i - 1);
            i = end < 0 ? code.size() : end;
            flush();
            const QString family = spec.section(u',', 0, 0).trimmed();
            const QString style = spec.section(u',', 1).trimmed().toLower();
            if (!family.isEmpty() && family != u"-") {
                installFontSubstitutes();
                at->font().setFamily(family);
            }
            at->font().setBold(style.contains(u"bold") || style.contains(u"太字"));
            at->font().setItalic(style.contains(u"italic") || style.contains(u"斜体"));
        } else if (upper == u'K' && i + 6 < code.size()) {
            flush();
            const QColor color(u'#' + code.mid(i + 1, 6));
            if (color.isValid())
                at->setColor(color);
            i += 6;
        } else {
            flush();
            switch (upper.unicode()) {
            case 'B': at->font().setBold(!at->font().bold()); break;
            case 'I': at->font().setItalic(!at->font().italic()); break;
            case 'U':
            case 'E': at->font().setUnderline(!at->font().underline()); break;
            case 'S': at->font().setStrikeOut(!at->font().strikeOut()); break;
            case 'X': at->toggleShift(1); break;
            case 'Y': at->toggleShift(-1); break;
            default: break; // &G pictures and what we do not know
            }
        }
    }
    flush();
    return {left.part, centre.part, right.part};
}

void paintHeader(QPainter& p, const HeaderText& text, const QRectF& area, bool top)
{
    const std::pair<const HeaderPart*, Qt::Alignment> parts[] = {
        {&text.left, Qt::AlignLeft}, {&text.centre, Qt::AlignHCenter}, {&text.right, Qt::AlignRight}};
    for (const auto& [part, align] : parts) {
        if (part->isEmpty())
            continue;
        QString shown = part->text;
        shown.replace(u'\n', QChar::LineSeparator);
        QTextLayout layout(shown, part->formats.isEmpty() ? p.font() : part->formats.first().format.font(), p.device());
        layout.setFormats(part->formats);
        QTextOption option(align);
        option.setWrapMode(QTextOption::NoWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        qreal height = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(area.width());
            line.setPosition(QPointF(0, height));
            height += line.height();
        }
        layout.endLayout();
        const qreal y = top ? area.top() : area.bottom() - height;
        layout.draw(&p, QPointF(area.left(), y));
    }
}

} // namespace tegaro::sheets
