#include "sheets/OleFile.h"

#include "sheets/GsfSupport.h"
#include "sheets/SheetErrors.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-memory.h>

namespace tegaro::sheets {

namespace {

bool looksLikeBof(const QByteArray& b)
{
    if (b.size() < 8)
        return false;
    const int type = quint8(b[0]) | (quint8(b[1]) << 8);
    return type == 0x0809 || type == 0x0409 || type == 0x0209 || type == 0x0009;
}

constexpr char kOleMagic[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";

} // namespace

QByteArray readWorkbookStream(const QByteArray& bytes)
{
    if (!bytes.startsWith(QByteArray(kOleMagic, 8))) {
        if (looksLikeBof(bytes))
            return bytes;
        throw ENotAWorkbook(QStringLiteral("Excel のブックではありません。"));
    }
    ensureGsf();
    GPtr<GsfInput> input(gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.constData()),
                                              bytes.size(), FALSE));
    GError* error = nullptr;
    GPtr<GsfInfile> ole(gsf_infile_msole_new(input.get(), &error));
    if (!ole) {
        QString detail = error ? QString::fromUtf8(error->message) : QString();
        if (error)
            g_error_free(error);
        throw ECorruptWorkbook(QStringLiteral("ブックのファイルが壊れています。%1").arg(detail));
    }
    GPtr<GsfInput> stream(gsf_infile_child_by_name(ole.get(), "Workbook"));
    if (!stream)
        stream.reset(gsf_infile_child_by_name(ole.get(), "Book"));
    if (!stream)
        stream.reset(gsf_infile_child_by_name(ole.get(), "WORKBOOK"));
    if (!stream)
        stream.reset(gsf_infile_child_by_name(ole.get(), "BOOK"));
    if (!stream)
        throw ENotAWorkbook(QStringLiteral("ファイルにブックがありません。"));
    const gsf_off_t size = gsf_input_size(stream.get());
    // a stream cannot be larger than the file that holds it
    if (size < 0 || size > bytes.size())
        throw ECorruptWorkbook(QStringLiteral("ブックのファイルが壊れています。"));
    QByteArray data(qsizetype(size), Qt::Uninitialized);
    if (size > 0 && !gsf_input_read(stream.get(), size_t(size), reinterpret_cast<guint8*>(data.data())))
        throw ECorruptWorkbook(QStringLiteral("ブックのファイルが途中で切れています。"));
    return data;
}

QByteArray writeWorkbookFile(const QByteArray& stream, const char* name)
{
    ensureGsf();
    GPtr<GsfOutput> memory(gsf_output_memory_new());
    QByteArray result;
    {
        GPtr<GsfOutfile> ole(gsf_outfile_msole_new(memory.get()));
        GPtr<GsfOutput> child(gsf_outfile_new_child(ole.get(), name, FALSE));
        if (!child || !gsf_output_write(child.get(), size_t(stream.size()),
                                        reinterpret_cast<const guint8*>(stream.constData())))
            throw ESheetError(QStringLiteral("ブックを書き出せません。"));
        gsf_output_close(child.get());
        gsf_output_close(GSF_OUTPUT(ole.get()));
    }
    const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory.get()));
    const gsf_off_t size = gsf_output_size(memory.get());
    result = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
    return result; // closing the compound file closed the memory sink too
}

} // namespace tegaro::sheets
