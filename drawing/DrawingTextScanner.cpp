#include "drawing/DrawingTextScanner.h"

namespace tegaro {

void DrawingTextScanner::skipRestOfLine()
{
    const qsizetype lf = bytes_.indexOf('\n', pos_);
    if (lf < 0) {
        pos_ = bytes_.size();
        return;
    }
    pos_ = lf + 1;
    ++line_;
}

QByteArray DrawingTextScanner::readLine(qsizetype maxBytes)
{
    if (atEnd())
        return {};
    qsizetype end = bytes_.indexOf('\n', pos_);
    if (end < 0)
        end = bytes_.size();
    qsizetype stop = end;
    if (stop > pos_ && bytes_[stop - 1] == '\r')
        --stop;
    qsizetype length = stop - pos_;
    if (maxBytes >= 0 && length > maxBytes)
        length = maxBytes;
    QByteArray line = bytes_.mid(pos_, length);
    skipRestOfLine();
    return line;
}

QByteArray DrawingTextScanner::readNumberToken()
{
    while (!atEnd() && quint8(bytes_[pos_]) <= 0x20) {
        if (bytes_[pos_] == '\n')
            ++line_;
        ++pos_;
    }
    if (atEnd())
        return {};
    const qsizetype start = pos_;
    tokenLine_ = line_;
    while (!atEnd() && quint8(bytes_[pos_]) > 0x20)
        ++pos_;
    QByteArray token = bytes_.mid(start, pos_ - start);
    // The number's own line ends here, whatever follows on it.
    if (!atEnd() && bytes_[pos_] == '\n') {
        ++pos_;
        ++line_;
    } else {
        skipRestOfLine();
    }
    return token;
}

} // namespace tegaro
