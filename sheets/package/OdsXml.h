#pragma once
// What the passes over an OpenDocument spreadsheet's own XML share: the
// namespaces they look for, attribute look-ups and the reading of a part.
#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QXmlStreamAttributes>

#include <string_view>

namespace tegaro::sheets::ods {

constexpr QStringView kTable = QStringView(u"urn:oasis:names:tc:opendocument:xmlns:table:1.0");
constexpr QStringView kStyle = QStringView(u"urn:oasis:names:tc:opendocument:xmlns:style:1.0");
constexpr QStringView kNumber = QStringView(u"urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0");
constexpr QStringView kOffice = QStringView(u"urn:oasis:names:tc:opendocument:xmlns:office:1.0");
constexpr QStringView kFo = QStringView(u"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0");
constexpr QStringView kText = QStringView(u"urn:oasis:names:tc:opendocument:xmlns:text:1.0");
constexpr QStringView kConfig = QStringView(u"urn:oasis:names:tc:opendocument:xmlns:config:1.0");
constexpr QStringView kCalcExt = QStringView(u"urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0");

inline QStringView attr(const QXmlStreamAttributes& a, QStringView ns, QStringView name)
{
    for (const QXmlStreamAttribute& at : a)
        if (at.name() == name && at.namespaceUri() == ns)
            return at.value();
    return {};
}

inline bool hasAttr(const QXmlStreamAttributes& a, QStringView ns, QStringView name)
{
    for (const QXmlStreamAttribute& at : a)
        if (at.name() == name && at.namespaceUri() == ns)
            return true;
    return false;
}

inline int intAttr(const QString& v, int otherwise)
{
    bool ok = false;
    const int n = v.toInt(&ok);
    return ok ? n : otherwise;
}

} // namespace tegaro::sheets::ods
