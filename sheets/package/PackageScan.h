#pragma once
// The checks every XML part of a package gets while it is read, and the
// event pass that reads a part on liborcus's parser with the checks the
// parser leaves out: what would make its work unbounded or fail its
// internal checks is refused before or as it parses.
#include "sheets/package/PackageLimits.h"

#include <orcus/exception.hpp>
#include <orcus/sax_ns_parser.hpp>
#include <orcus/xml_namespace.hpp>

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <deque>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tegaro::sheets {

// "_x000D_" and the like in .xlsx texts: a character written as its code, as
// Excel does for those XML cannot hold; "_x005F_" keeps an underscore.
QString decodeEscapes(const QString& text);

// What follows every part the parser reads: a NUL, then bytes it cannot take
// as XML. liborcus's parser steps one byte past its end when an attribute
// value with a character reference runs to the end of the part, and reads on
// from there; the guard turns that into an error instead of a read of
// whatever memory lies beyond.
inline constexpr std::size_t kPartEnd = 64;
inline constexpr char kPartEndByte = '!';
void endPart(std::vector<unsigned char>& buffer);
void writePartEnd(char* at); // the kPartEnd bytes at `at`
inline std::size_t partSize(const std::vector<unsigned char>& buffer) { return buffer.size() - kPartEnd; }

// A part as an event parser may read it: UTF-8 XML whose character
// references are all in form. Empty for a part with nothing to read (blank,
// or not XML and not named as XML). A part whose text is read must be
// valid UTF-8; one only checked (`read` false) is taken as the parser takes
// it. Throws ECorruptWorkbook.
QByteArray xmlPartText(const QByteArray& data, const QByteArray& name, bool read = true);

// After a parse that ended at `rootEnd` (-1: no root closed) with `open`
// elements left: the parser ends quietly where the root stays open, and
// passes over what follows it. Throws ECorruptWorkbook.
void checkXmlEnd(QByteArrayView data, qsizetype rootEnd, bool open);

struct XmlAttribute {
    orcus::xmlns_id_t ns;
    std::string_view name, value;
};

// Hands the parser's events to a reader, with the checks the parser leaves
// out: nesting depth, and attribute values that outlive their event. The
// reader has start(ns, name, attributes), end(ns, name), wantsText() and
// text(characters).
template <class Reader>
class XmlEvents {
public:
    explicit XmlEvents(Reader& r) : r_(r) {}

    void doctype(const orcus::sax::doctype_declaration&) {}
    void start_declaration(std::string_view) {}
    void end_declaration(std::string_view) {}
    void attribute(std::string_view, std::string_view) {}
    void attribute(const orcus::sax_ns_parser_attribute& a)
    {
        // the parser takes a "<" in a value and a prefix never declared,
        // which XML does not allow
        if (strictValues && a.value.find('<') != std::string_view::npos)
            throw damaged(QStringLiteral("(属性の値に「<」)"));
        if (strictValues && undeclared(a.ns, a.ns_alias))
            throw damaged(QStringLiteral("(宣言のない接頭辞「%1」)").arg(QString::fromUtf8(a.ns_alias.data(), qsizetype(a.ns_alias.size()))));
        std::string_view v = a.value;
        if (a.transient) {
            // decoded into a buffer the parser uses again
            owned_.emplace_back(a.value);
            v = owned_.back();
        }
        attrs_.push_back({a.ns, a.name, v});
    }
    void characters(std::string_view text, bool)
    {
        if (r_.wantsText())
            r_.text(text);
    }
    void start_element(const orcus::sax_ns_parser_element& e)
    {
        if (depth_ >= kMaxXmlDepth)
            throw tooLarge(QStringLiteral("入れ子の深さ"));
        if (strictValues && undeclared(e.ns, e.ns_alias))
            throw damaged(QStringLiteral("(宣言のない接頭辞「%1」)").arg(QString::fromUtf8(e.ns_alias.data(), qsizetype(e.ns_alias.size()))));
        ++depth_;
        r_.start(e.ns, e.name, attrs_);
        attrs_.clear();
        owned_.clear();
    }
    void end_element(const orcus::sax_ns_parser_element& e)
    {
        r_.end(e.ns, e.name);
        if (--depth_ == 0)
            rootEnd_ = e.end_pos;
    }

    int depth_ = 0;
    qsizetype rootEnd_ = -1;
    bool strictValues = true;

private:
    static bool undeclared(orcus::xmlns_id_t ns, std::string_view prefix)
    {
        return !ns && !prefix.empty() && prefix != "xml";
    }

    Reader& r_;
    std::vector<XmlAttribute> attrs_;
    std::deque<std::string> owned_;
};

// Reads `size` bytes of UTF-8 XML (see xmlPartText) at `data`, which are
// followed by the end the parser needs (endPart). Throws ECorruptWorkbook.
template <class Reader>
void parseXmlPart(const char* data, qsizetype size, const QByteArray& name, orcus::xmlns_repository& namespaces,
                  Reader& reader, bool read = true)
{
    XmlEvents<Reader> events(reader);
    events.strictValues = read;
    orcus::xmlns_context context = namespaces.create_context();
    try {
        // the parser may look at the bytes after its end: the part's end
        orcus::sax_ns_parser<XmlEvents<Reader>> parser(data, size_t(size), context, events);
        parser.parse();
    } catch (const orcus::general_error& e) {
        throw damaged(QStringLiteral("(部品「%1」: %2)").arg(QString::fromUtf8(name), QString::fromUtf8(e.what())));
    } catch (const std::logic_error&) { // a reference the parser's number conversion refuses
        throw damaged(QStringLiteral("(部品「%1」の文字参照)").arg(QString::fromUtf8(name)));
    }
    checkXmlEnd(QByteArrayView(data, size), events.rootEnd_, events.depth_ != 0);
}

} // namespace tegaro::sheets
