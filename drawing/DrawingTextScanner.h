#pragma once
// Reads a drawing file the way a text file is read value by value: a number
// skips every blank before it (any byte up to and including the space, line
// breaks too), ends at the next blank, and the rest of its line is skipped;
// a text is the rest of the current line. Lines end at LF, a CR before it
// belongs to the break. Past the end a number reads as 0 and a text as empty.
#include <QByteArray>

namespace tegaro {

class DrawingTextScanner {
public:
    explicit DrawingTextScanner(QByteArray bytes) : bytes_(std::move(bytes)) {}

    bool atEnd() const { return pos_ >= bytes_.size(); }
    int lineNumber() const { return line_; }     // of the next byte, from 1
    int tokenLine() const { return tokenLine_; } // line of the last number read

    // The rest of the current line, at most maxBytes of it; the reader then
    // moves to the next line.
    QByteArray readLine(qsizetype maxBytes = -1);
    // The next number's text; empty at the end of the data.
    QByteArray readNumberToken();

private:
    void skipRestOfLine();

    QByteArray bytes_;
    qsizetype pos_ = 0;
    int line_ = 1;
    int tokenLine_ = 0;
};

} // namespace tegaro
