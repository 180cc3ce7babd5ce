// Storage for the tags and attributes of one tree. Internal to xml/.
#ifndef TKV_XML_TAG_ARENA_H
#define TKV_XML_TAG_ARENA_H

#include <stddef.h>

namespace TKV::detail {

// A walk makes tags and attributes by the thousand and they all go when the tag that made the
// first of them goes, so they are handed out in order from blocks and given back all at once.
// Belongs to the tag that made it; its descendants use it too.
class TagArena {
  public:
    explicit TagArena(const void* owner) : owner_(owner) {}
    TagArena(const TagArena&) = delete;
    TagArena& operator=(const TagArena&) = delete;
    ~TagArena();

    // Room for bytes, aligned for objects of up to kAlign; null when memory runs out.
    void* Take(size_t bytes) {
        bytes = (bytes + kAlign - 1) / kAlign * kAlign;
        if (newest_ == nullptr || newest_->room - used_ < bytes)
            return TakeFromNewBlock(bytes);
        void* slot = reinterpret_cast<char*>(newest_) + kHead + used_;
        used_ += bytes;
        return slot;
    }
    const void* Owner() const { return owner_; }

    static constexpr size_t kAlign = alignof(void*);

  private:
    struct Block {
        Block* previous;
        size_t room;
    };
    static constexpr size_t kHead = (sizeof(Block) + kAlign - 1) / kAlign * kAlign;

    void* TakeFromNewBlock(size_t bytes);

    const void* owner_;
    Block* newest_ = nullptr;
    size_t used_ = 0;
    size_t nextRoom_ = 1024;  // small documents stay small; large ones get large blocks
};

}  // namespace TKV::detail

#endif  // TKV_XML_TAG_ARENA_H
