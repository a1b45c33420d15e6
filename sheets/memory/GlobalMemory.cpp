#include "sheets/memory/GlobalMemory.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

namespace tegaro {

namespace {

struct Block {
    std::unique_ptr<char[]> data;
    std::size_t size = 0;
    int locks = 0;
};

// Handles are never given out twice, so a stale one cannot name a newer block.
struct Table {
    std::mutex lock;
    std::unordered_map<HGLOBAL, Block> blocks;
    std::map<const char*, HGLOBAL> byAddress; // block start -> handle
    HGLOBAL next = 0x10;
};

Table& table()
{
    static Table t;
    return t;
}

// Blocks hold at least one byte so that every block has its own address.
std::unique_ptr<char[]> allocate(std::size_t bytes, bool zero)
{
    std::unique_ptr<char[]> p(new (std::nothrow) char[bytes ? bytes : 1]);
    if (p && zero)
        std::memset(p.get(), 0, bytes ? bytes : 1);
    return p;
}

constexpr std::size_t kMaxBlock = 0x7FFFFFFF; // sizes are 32-bit

} // namespace

HGLOBAL GlobalAlloc(unsigned flags, std::size_t bytes)
{
    if (bytes > kMaxBlock)
        return 0;
    auto data = allocate(bytes, flags & GMEM_ZEROINIT);
    if (!data)
        return 0;
    Table& t = table();
    std::lock_guard guard(t.lock);
    const HGLOBAL h = t.next++;
    if (t.next == 0)
        t.next = 0x10;
    t.byAddress[data.get()] = h;
    t.blocks[h] = Block{std::move(data), bytes, 0};
    return h;
}

HGLOBAL GlobalReAlloc(HGLOBAL h, std::size_t bytes, unsigned flags)
{
    if (bytes > kMaxBlock)
        return 0;
    Table& t = table();
    std::lock_guard guard(t.lock);
    auto it = t.blocks.find(h);
    if (it == t.blocks.end() || it->second.locks > 0)
        return 0; // a locked block cannot move
    auto data = allocate(bytes, flags & GMEM_ZEROINIT);
    if (!data)
        return 0;
    std::memcpy(data.get(), it->second.data.get(), std::min(bytes, it->second.size));
    t.byAddress.erase(it->second.data.get());
    t.byAddress[data.get()] = h;
    it->second.data = std::move(data);
    it->second.size = bytes;
    return h;
}

void* GlobalLock(HGLOBAL h)
{
    Table& t = table();
    std::lock_guard guard(t.lock);
    auto it = t.blocks.find(h);
    if (it == t.blocks.end())
        return nullptr;
    ++it->second.locks;
    return it->second.data.get();
}

bool GlobalUnlock(HGLOBAL h)
{
    Table& t = table();
    std::lock_guard guard(t.lock);
    auto it = t.blocks.find(h);
    if (it == t.blocks.end() || it->second.locks == 0)
        return false;
    return --it->second.locks > 0;
}

std::size_t GlobalSize(HGLOBAL h)
{
    Table& t = table();
    std::lock_guard guard(t.lock);
    auto it = t.blocks.find(h);
    return it == t.blocks.end() ? 0 : it->second.size;
}

HGLOBAL GlobalFree(HGLOBAL h)
{
    Table& t = table();
    std::lock_guard guard(t.lock);
    auto it = t.blocks.find(h);
    if (it == t.blocks.end())
        return h;
    t.byAddress.erase(it->second.data.get());
    t.blocks.erase(it);
    return 0;
}

HGLOBAL GlobalHandle(const void* address)
{
    const char* p = static_cast<const char*>(address);
    Table& t = table();
    std::lock_guard guard(t.lock);
    auto it = t.byAddress.upper_bound(p);
    if (it == t.byAddress.begin())
        return 0;
    --it;
    const Block& b = t.blocks.at(it->second);
    const std::size_t span = b.size ? b.size : 1;
    return std::less<const char*>()(p, it->first + span) ? it->second : 0;
}

int GlobalBlockCount()
{
    Table& t = table();
    std::lock_guard guard(t.lock);
    return int(t.blocks.size());
}

} // namespace tegaro
