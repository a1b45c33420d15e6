#include "help/ChmArchive.h"

#include <QFile>
#include <QLibrary>

#include <cstdint>

namespace tegaro {

namespace {

// Mirrors chmlib's struct chmUnitInfo.
struct UnitInfo {
    std::uint64_t start;
    std::uint64_t length;
    int space;
    int flags;
    char path[513];
};

using OpenFn = void* (*)(const char*);
using CloseFn = void (*)(void*);
using ResolveFn = int (*)(void*, const char*, UnitInfo*);
using RetrieveFn = std::int64_t (*)(void*, UnitInfo*, unsigned char*, std::uint64_t, std::int64_t);

constexpr int resolveSuccess = 0;
// Help pages and pictures are small; a larger object means a damaged file.
constexpr std::uint64_t maxObjectSize = 64u * 1024 * 1024;

QString overriddenName;
std::shared_ptr<const ChmApi> loaded;
bool tried = false;

QString libraryName()
{
    if (!overriddenName.isEmpty())
        return overriddenName;
    const QString fromEnv = qEnvironmentVariable("TEGARO_CHMLIB");
    return fromEnv.isEmpty() ? QStringLiteral("libchm.so.1") : fromEnv;
}

} // namespace

struct ChmApi {
    OpenFn open = nullptr;
    CloseFn close = nullptr;
    ResolveFn resolve = nullptr;
    RetrieveFn retrieve = nullptr;
};

namespace {

std::shared_ptr<const ChmApi> api()
{
    if (tried)
        return loaded;
    tried = true;
    // The library stays loaded for the rest of the process, like any plug-in.
    QLibrary lib(libraryName());
    if (!lib.load())
        return nullptr;
    auto fns = std::make_shared<ChmApi>();
    fns->open = reinterpret_cast<OpenFn>(lib.resolve("chm_open"));
    fns->close = reinterpret_cast<CloseFn>(lib.resolve("chm_close"));
    fns->resolve = reinterpret_cast<ResolveFn>(lib.resolve("chm_resolve_object"));
    fns->retrieve = reinterpret_cast<RetrieveFn>(lib.resolve("chm_retrieve_object"));
    if (fns->open && fns->close && fns->resolve && fns->retrieve)
        loaded = fns;
    return loaded;
}

} // namespace

void setHelpReaderLibrary(const QString& fileName)
{
    overriddenName = fileName;
    loaded.reset();
    tried = false;
}

bool helpReaderAvailable() { return api() != nullptr; }

ChmArchive::~ChmArchive() { close(); }

bool ChmArchive::open(const QString& path)
{
    close();
    api_ = api();
    if (!api_)
        return false;
    handle_ = api_->open(QFile::encodeName(path).constData());
    return handle_ != nullptr;
}

void ChmArchive::close()
{
    if (handle_)
        api_->close(handle_);
    handle_ = nullptr;
}

bool ChmArchive::contains(const QString& objectPath) const
{
    if (!handle_)
        return false;
    UnitInfo info{};
    return api_->resolve(handle_, objectPath.toUtf8().constData(), &info) == resolveSuccess;
}

std::optional<QByteArray> ChmArchive::read(const QString& objectPath) const
{
    if (!handle_)
        return std::nullopt;
    UnitInfo info{};
    if (api_->resolve(handle_, objectPath.toUtf8().constData(), &info) != resolveSuccess)
        return std::nullopt;
    if (info.length > maxObjectSize)
        return std::nullopt;
    QByteArray bytes(qsizetype(info.length), Qt::Uninitialized);
    if (info.length == 0)
        return bytes;
    const std::int64_t got = api_->retrieve(handle_, &info,
                                            reinterpret_cast<unsigned char*>(bytes.data()), 0,
                                            std::int64_t(info.length));
    if (got <= 0)
        return std::nullopt;
    bytes.truncate(qsizetype(got));
    return bytes;
}

} // namespace tegaro
