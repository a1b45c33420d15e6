#include "sheets/container/ZipWriter.h"

#include "sheets/container/GsfSupport.h"
#include "sheets/model/SheetErrors.h"

#include <gsf/gsf-outfile-zip.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>

#include <map>
#include <vector>

namespace tegaro::sheets {

QByteArray writeZip(const QList<ZipPart>& parts, bool compress)
{
    ensureGsf();
    GPtr<GsfOutput> memory(gsf_output_memory_new());
    {
        GError* error = nullptr;
        GPtr<GsfOutfile> zip(gsf_outfile_zip_new(memory.get(), &error));
        if (!zip) {
            if (error)
                g_error_free(error);
            throw ESheetError(QStringLiteral("パッケージを書き出せません。"));
        }
        // folders are children of their parent folder; each is made once and
        // closed after everything inside it
        std::map<QByteArray, GPtr<GsfOutfile>> folders;
        std::vector<QByteArray> order;
        auto folder = [&](const QByteArray& path) -> GsfOutfile* {
            GsfOutfile* parent = zip.get();
            QByteArray at;
            for (const QByteArray& step : path.split('/')) {
                at += step + '/';
                auto it = folders.find(at);
                if (it == folders.end()) {
                    GsfOutput* made = gsf_outfile_new_child(parent, step.constData(), TRUE);
                    it = folders.emplace(at, GPtr<GsfOutfile>(GSF_OUTFILE(made))).first;
                    order.push_back(at);
                }
                parent = it->second.get();
            }
            return parent;
        };
        for (const ZipPart& part : parts) {
            const qsizetype slash = part.name.lastIndexOf('/');
            GsfOutfile* parent = slash < 0 ? zip.get() : folder(part.name.left(slash));
            const QByteArray leaf = slash < 0 ? part.name : part.name.mid(slash + 1);
            GPtr<GsfOutput> child(gsf_outfile_new_child_full(parent, leaf.constData(), FALSE, "compression-level",
                                                             compress ? GSF_ZIP_DEFLATED : GSF_ZIP_STORED, nullptr));
            if (!child || !gsf_output_write(child.get(), size_t(part.data.size()), reinterpret_cast<const guint8*>(part.data.constData())))
                throw ESheetError(QStringLiteral("パッケージを書き出せません。"));
            gsf_output_close(child.get());
        }
        for (auto it = order.rbegin(); it != order.rend(); ++it)
            gsf_output_close(GSF_OUTPUT(folders[*it].get()));
        gsf_output_close(GSF_OUTPUT(zip.get()));
    }
    const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory.get()));
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(gsf_output_size(memory.get())));
}

} // namespace tegaro::sheets
