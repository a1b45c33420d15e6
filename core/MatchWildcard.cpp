#include "core/MatchWildcard.h"

#include "core/Cp932.h"

namespace tegaro {

bool MatchWildcard(QByteArrayView name, QByteArrayView mask)
{
    // Positions count from 1, as in the description of the test.
    const qsizetype nameLen = name.size();
    const qsizetype maskLen = mask.size();
    auto m = [&](qsizetype p) { return mask[p - 1]; };
    auto n = [&](qsizetype i) { return name[i - 1]; };

    qsizetype p = 0, i = 0, star = 0;
    bool failed = false, afterStar = false;
    while (p < maskLen && i < nameLen && !failed) {
        ++p;
        ++i;
        const char c = m(p);
        if (c == '*') {
            star = p;
            afterStar = true;
            ++p;
            if (p > maskLen) {
                i = nameLen;
            } else {
                // First occurrence from i on, compared literally.
                qsizetype at = i;
                while (at <= nameLen && n(at) != m(p))
                    ++at;
                if (at > nameLen)
                    failed = true;
                else
                    i = at;
            }
        } else if (c == '?') {
            afterStar = false;
        } else if (c != n(i)) {
            if (afterStar)
                p = star - 1; // take the star again, one past the mismatch
            else
                failed = true;
        }
    }
    if (failed)
        return false;
    if (maskLen > 0 && p == maskLen - 1 && m(maskLen) == '*')
        return true;
    if (p < maskLen || i != nameLen)
        return false;
    return true;
}

bool MatchWildcard(const QString& name, const QString& mask)
{
    const QByteArray n = toCp932(name);
    const QByteArray m = toCp932(mask);
    return MatchWildcard(QByteArrayView(n), QByteArrayView(m));
}

} // namespace tegaro
