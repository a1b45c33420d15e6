#include "help/ChmArchive.h"

#include "help/FaultTrap.h"

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

namespace {

// The calls into chmlib, each as a plain function for the fault trap.
struct OpenCall {
    const ChmApi* api;
    const char* path;
    void* handle;
};
struct ResolveCall {
    const ChmApi* api;
    void* handle;
    const char* path;
    UnitInfo* info;
    int result;
};
struct RetrieveCall {
    const ChmApi* api;
    void* handle;
    UnitInfo* info;
    unsigned char* buffer;
    std::int64_t result;
};

void callOpen(void* c)
{
    auto* call = static_cast<OpenCall*>(c);
    call->handle = call->api->open(call->path);
}
void callResolve(void* c)
{
    auto* call = static_cast<ResolveCall*>(c);
    call->result = call->api->resolve(call->handle, call->path, call->info);
}
void callRetrieve(void* c)
{
    auto* call = static_cast<RetrieveCall*>(c);
    call->result = call->api->retrieve(call->handle, call->info, call->buffer, 0,
                                       std::int64_t(call->info->length));
}

} // namespace

bool ChmArchive::open(const QString& path)
{
    close();
    broken_ = false;
    api_ = api();
    if (!api_)
        return false;
    const QByteArray name = QFile::encodeName(path);
    OpenCall call{api_.get(), name.constData(), nullptr};
    if (!runTrappingFaults(&callOpen, &call))
        broken_ = true;
    else
        handle_ = call.handle;
    return handle_ != nullptr;
}

void ChmArchive::close()
{
    if (handle_)
        api_->close(handle_);
    handle_ = nullptr;
}

void ChmArchive::abandon() const
{
    // The library's state for this file cannot be trusted any more, not even
    // to close it; the little it holds is left behind.
    handle_ = nullptr;
    broken_ = true;
}

bool ChmArchive::resolve(const QString& objectPath, void* info) const
{
    if (!handle_)
        return false;
    const QByteArray path = objectPath.toUtf8();
    ResolveCall call{api_.get(), handle_, path.constData(), static_cast<UnitInfo*>(info), -1};
    if (!runTrappingFaults(&callResolve, &call)) {
        abandon();
        return false;
    }
    return call.result == resolveSuccess;
}

bool ChmArchive::contains(const QString& objectPath) const
{
    UnitInfo info{};
    return resolve(objectPath, &info);
}

std::optional<QByteArray> ChmArchive::read(const QString& objectPath) const
{
    UnitInfo info{};
    if (!resolve(objectPath, &info) || info.length > maxObjectSize)
        return std::nullopt;
    QByteArray bytes(qsizetype(info.length), Qt::Uninitialized);
    if (info.length == 0)
        return bytes;
    RetrieveCall call{api_.get(), handle_, &info, reinterpret_cast<unsigned char*>(bytes.data()), 0};
    if (!runTrappingFaults(&callRetrieve, &call)) {
        abandon();
        return std::nullopt;
    }
    if (call.result <= 0)
        return std::nullopt;
    bytes.truncate(qsizetype(qMin<std::int64_t>(call.result, bytes.size())));
    return bytes;
}

} // namespace tegaro
