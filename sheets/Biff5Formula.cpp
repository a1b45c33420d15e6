#include "sheets/Biff5Formula.h"

#include "sheets/ByteWriter.h"
#include "sheets/SheetErrors.h"

#include <QMap>

namespace tegaro::sheets {

namespace {

struct Jump {
    qsizetype oldAt;     // where the offset field lies in the old tokens
    qsizetype newAt;     // and in the new ones
    qsizetype oldBase;   // the old position the offset counts from
    qsizetype newBase;
    int extra;           // skips count one byte less
};

// Excel 95 keeps the relative flags in the row, Excel 97 in the column.
void reference(Cursor& c, ByteWriter& out)
{
    const quint16 row = c.u16();
    const quint8 col = c.u8();
    out.u16(row & 0x3FFF).u16(quint16(col | (row & 0xC000)));
}

} // namespace

std::optional<QByteArray> translateBiff5Tokens(const QByteArray& tokens, const ByteDecoder& decode)
{
    BiffRecord r;
    r.data = tokens;
    Cursor c(r);
    ByteWriter out;
    QMap<qsizetype, qsizetype> positions; // old token start -> new token start
    QList<Jump> jumps;
    try {
        while (c.left() > 0) {
            positions.insert(c.pos(), out.data.size());
            const quint8 t = c.u8();
            const quint8 base = t >= 0x20 ? quint8(0x20 | (t & 0x1F)) : t;
            out.u8(t);
            if (base >= 0x03 && base <= 0x16) {
                continue; // operators, parentheses, missing argument
            }
            switch (base) {
            case 0x17: { // a string
                const QString s = c.byteString(1, decode);
                out.string(s.left(255), 1);
                break;
            }
            case 0x19: { // attributes: IF, CHOOSE and skips jump by bytes
                const quint8 kind = c.u8();
                out.u8(kind);
                const qsizetype oldField = c.pos();
                const quint16 w = c.u16();
                const qsizetype newField = out.data.size();
                out.u16(w);
                if (kind & 0x04) {
                    const qsizetype table = c.pos();
                    const qsizetype newTable = out.data.size();
                    for (int i = 0; i <= w; ++i) {
                        jumps.append({c.pos(), out.data.size(), table, newTable, 0});
                        out.u16(c.u16());
                    }
                } else if (kind & 0x02) {
                    jumps.append({oldField, newField, oldField + 2, newField + 2, 0});
                } else if (kind & 0x08) {
                    jumps.append({oldField, newField, oldField + 2, newField + 2, 1});
                }
                break;
            }
            case 0x1C: case 0x1D: out.u8(c.u8()); break;
            case 0x1E: out.u16(c.u16()); break;
            case 0x1F: out.bytes(c.bytes(8)); break;
            case 0x20: out.bytes(c.bytes(7)); break; // array constant; its values follow the tokens
            case 0x21: out.u16(c.u16()); break;
            case 0x22: out.u8(c.u8()).u16(c.u16()); break;
            case 0x24: reference(c, out); break;
            case 0x25: {
                const quint16 r1 = c.u16(), r2 = c.u16();
                const quint8 c1 = c.u8(), c2 = c.u8();
                out.u16(r1 & 0x3FFF).u16(r2 & 0x3FFF).u16(quint16(c1 | (r1 & 0xC000))).u16(quint16(c2 | (r2 & 0xC000)));
                break;
            }
            case 0x2A: c.skip(3); out.zeros(4); break;
            case 0x2B: c.skip(6); out.zeros(8); break;
            default:
                return std::nullopt; // names, other sheets, shared parts, sub-expressions
            }
        }
    } catch (const ECorruptWorkbook&) {
        return std::nullopt;
    }
    positions.insert(c.pos(), out.data.size());
    for (const Jump& j : jumps) {
        const qsizetype oldW = quint8(tokens[j.oldAt]) | (quint8(tokens[j.oldAt + 1]) << 8);
        const qsizetype target = j.oldBase + oldW + j.extra;
        auto it = positions.find(target);
        if (it == positions.end())
            return std::nullopt; // a jump into the middle of a token
        const qsizetype newW = *it - j.newBase - j.extra;
        if (newW < 0 || newW > 0xFFFF)
            return std::nullopt;
        qToLittleEndian<quint16>(quint16(newW), out.data.data() + j.newAt);
    }
    return out.data;
}

} // namespace tegaro::sheets
