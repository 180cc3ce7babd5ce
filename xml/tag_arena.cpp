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

// Take's way when the newest block is full (or there is none yet).
void* TagArena::TakeFromNewBlock(size_t bytes) {
    size_t room = bytes > nextRoom_ ? bytes : nextRoom_;
    auto* block = static_cast<Block*>(malloc(kHead + room));
    if (block == nullptr)
        return nullptr;
    block->previous = newest_;
    block->room = room;
    newest_ = block;
    used_ = bytes;
    if (nextRoom_ < kLargestBlock)
        nextRoom_ *= 2;
    return reinterpret_cast<char*>(block) + kHead;
}

}  // namespace TKV::detail
