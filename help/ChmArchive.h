#pragma once
// Read access to a compiled HTML Help file through chmlib. The library is
// loaded at run time on first use, so the program runs (without help) on a
// machine that lacks it.
#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace tegaro {

// The file name of the reader library. The default is "libchm.so.1"; the
// environment variable TEGARO_CHMLIB overrides it, and a non-empty name given
// here overrides both. Changing it forgets a library loaded before.
void setHelpReaderLibrary(const QString& fileName);
// True when the reader library loads and has every function needed.
bool helpReaderAvailable();

struct ChmApi;

class ChmArchive {
public:
    ChmArchive() = default;
    ~ChmArchive();
    ChmArchive(const ChmArchive&) = delete;
    ChmArchive& operator=(const ChmArchive&) = delete;

    // False when the reader library is missing or the file is no help file.
    bool open(const QString& path);
    void close();
    bool isOpen() const { return handle_ != nullptr; }
    // True when the library faulted on this file; it is then closed.
    bool isBroken() const { return broken_; }

    // Object paths start with "/" ("/index.html", "/#SYSTEM").
    bool contains(const QString& objectPath) const;
    std::optional<QByteArray> read(const QString& objectPath) const;

private:
    bool resolve(const QString& objectPath, void* info) const;
    void abandon() const;

    std::shared_ptr<const ChmApi> api_;
    mutable void* handle_ = nullptr;
    mutable bool broken_ = false;
};

} // namespace tegaro
