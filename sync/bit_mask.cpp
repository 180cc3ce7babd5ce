// CBitMask: block storage and growth on access.
#include "tkv/bit_mask.h"

#include <cstdlib>
#include <cstring>

namespace TKV {
namespace {

constexpr unsigned int kBits = 32;
constexpr unsigned int kHeadroom = 256;

unsigned int BlocksFor(unsigned int bits) {
    return bits / kBits + 1;
}

// A block array of `count` blocks, every byte 0xFF or 0; the clear one comes lazily zeroed.
unsigned int* NewBlocks(unsigned int count, bool fill) {
    const size_t bytes = static_cast<size_t>(count) * sizeof(unsigned int);
    if (!fill) {
        return static_cast<unsigned int*>(std::calloc(count, sizeof(unsigned int)));
    }
    auto* blocks = static_cast<unsigned int*>(std::malloc(bytes));
    if (blocks != nullptr) {
        std::memset(blocks, 0xFF, bytes);
    }
    return blocks;
}

}  // namespace

CBitMask::CBitMask()
    : m_blocks(nullptr),
      m_size(0),
      m_bytesPerBlock(sizeof(unsigned int)),
      m_bitsPerBlock(kBits),
      m_blockCount(0),
      m_byteCount(0) {
    SetSize(kBits, false);
}

CBitMask::CBitMask(unsigned int value) : CBitMask() {
    if (m_blocks != nullptr) {
        m_blocks[0] = value;
    }
}

CBitMask::CBitMask(const CBitMask& other) : CBitMask() {
    *this = other;
}

CBitMask::~CBitMask() {
    std::free(m_blocks);
}

CBitMask& CBitMask::operator=(const CBitMask& other) {
    if (&other != this) {
        SetSize(other.m_size, false);
        if (m_blocks != nullptr && m_blockCount == other.m_blockCount) {
            std::memcpy(m_blocks, other.m_blocks, m_byteCount);
        }
    }
    return *this;
}

void CBitMask::SetSize(unsigned int bits, bool fill) {
    const unsigned int count = BlocksFor(bits);
    const unsigned int bytes = count * m_bytesPerBlock;
    const bool grows = m_blocks != nullptr && m_byteCount != 0 && m_byteCount < bytes;
    unsigned int* blocks;
    if (grows && (fill || bytes / 2 < m_byteCount)) {
        // Growing keeps the old bits; only the added blocks take the fill.
        blocks = static_cast<unsigned int*>(std::realloc(m_blocks, bytes));
        if (blocks == nullptr) {
            return;  // out of memory: the mask stays as it was
        }
        std::memset(reinterpret_cast<unsigned char*>(blocks) + m_byteCount, fill ? 0xFF : 0,
                    bytes - m_byteCount);
    } else {
        // A clear mask that at least doubles starts on fresh zero pages, so a far bit touches
        // only its own page instead of clearing every added block.
        blocks = NewBlocks(count, fill);
        if (blocks == nullptr) {
            return;
        }
        if (grows) {
            std::memcpy(blocks, m_blocks, m_byteCount);
        }
        std::free(m_blocks);
    }
    m_blocks = blocks;
    m_size = bits;
    m_blockCount = count;
    m_byteCount = bytes;
}

bool CBitMask::GetBitBlock(unsigned int bit, unsigned int& bitInBlock, unsigned int*& block) {
    const unsigned int index = bit / kBits;
    if (index >= m_blockCount) {
        // Headroom of 256 bits beyond the one asked for, short of the highest bit number.
        SetSize(bit > ~0u - kHeadroom ? ~0u : bit + kHeadroom, false);
        if (index >= m_blockCount) {
            return false;
        }
    }
    bitInBlock = bit % kBits;
    block = m_blocks + index;
    return true;
}

bool CBitMask::Set(unsigned int bit, bool value) {
    unsigned int bitInBlock;
    unsigned int* block;
    if (!GetBitBlock(bit, bitInBlock, block)) {
        return false;
    }
    if (value) {
        *block |= 1u << bitInBlock;
    } else {
        *block &= ~(1u << bitInBlock);
    }
    return true;
}

bool CBitMask::IsSet(unsigned int bit) {
    unsigned int bitInBlock;
    unsigned int* block;
    return GetBitBlock(bit, bitInBlock, block) && (*block >> bitInBlock & 1u) != 0;
}

bool CBitMask::IsClear(unsigned int bit) {
    unsigned int bitInBlock;
    unsigned int* block;
    return !GetBitBlock(bit, bitInBlock, block) || (*block >> bitInBlock & 1u) == 0;
}

void CBitMask::Clear() {
    if (m_blocks != nullptr) {
        std::memset(m_blocks, 0, m_byteCount);
    }
}

bool CBitMask::IsEmpty() const {
    for (unsigned int i = 0; i < m_blockCount; ++i) {
        if (m_blocks[i] != 0) {
            return false;
        }
    }
    return true;
}

bool CBitMask::operator!() const {
    return IsEmpty();
}

CBitMask& CBitMask::operator~() {
    for (unsigned int i = 0; i < m_blockCount; ++i) {
        m_blocks[i] = ~m_blocks[i];
    }
    return *this;
}

bool CBitMask::operator&(const CBitMask& other) const {
    const unsigned int shared =
        m_blockCount < other.m_blockCount ? m_blockCount : other.m_blockCount;
    for (unsigned int i = 0; i < shared; ++i) {
        if ((m_blocks[i] & other.m_blocks[i]) != 0) {
            return true;
        }
    }
    return false;
}

}  // namespace TKV
