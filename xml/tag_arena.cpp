#include "xml/tag_arena.h"

#include <stdlib.h>

namespace TKV::detail {

namespace {

constexpr size_t kLargestBlock = 64 * 1024;

}  // namespace

TagArena::~TagArena() {
    while (newest_ != nullptr) {
        Block* previous = newest_->previous;
        free(newest_);
        newest_ = previous;
    }
}

void* TagArena::Take(size_t bytes) {
    bytes = (bytes + kAlign - 1) / kAlign * kAlign;
    if (newest_ == nullptr || newest_->room - used_ < bytes) {
        size_t room = bytes > nextRoom_ ? bytes : nextRoom_;
        auto* block = static_cast<Block*>(malloc(kHead + room));
        if (block == nullptr)
            return nullptr;
        block->previous = newest_;
        block->room = room;
        newest_ = block;
        used_ = 0;
        if (nextRoom_ < kLargestBlock)
            nextRoom_ *= 2;
    }
    void* slot = reinterpret_cast<char*>(newest_) + kHead + used_;
    used_ += bytes;
    return slot;
}

}  // namespace TKV::detail
