#pragma once
// Texts inside a help file come in the encoding their source was written in:
// pages say so in a meta tag, the contents and the project strings do not.
#include <QByteArrayView>
#include <QString>

namespace tegaro {

// Decodes help text: the charset a page declares wins; without one, text
// that is valid UTF-8 is read as UTF-8 and anything else as CP932.
QString decodeHelpText(QByteArrayView bytes);

// Replaces the character references of HTML (&amp; &#12354; &#x3042; ...).
QString unescapeHtml(const QString& text);

} // namespace tegaro
