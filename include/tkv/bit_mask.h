// CBitMask: a growable set of bits numbered from 0, kept in 32-bit blocks (bit n is bit n % 32
// of block n / 32). Reading or writing a bit beyond the last block grows the mask by 256 bits
// of headroom instead of failing, so even the reading operations may reallocate: one thread at
// a time. The block count is size / 32 + 1, so bits past the size in the last block are
// ordinary bits.
#ifndef TKV_BIT_MASK_H
#define TKV_BIT_MASK_H

#include "tkv/export.h"

namespace TKV {

class TKV_API CBitMask {
  public:
    CBitMask();                    // 32 bits, all clear
    CBitMask(unsigned int value);  // bits 0 to 31 from the value
    CBitMask(const CBitMask& other);
    ~CBitMask();
    CBitMask& operator=(const CBitMask& other);

    // Resizes to `bits`. Growing keeps the old bits and fills only the added blocks; keeping
    // the size or shrinking fills the whole mask.
    void SetSize(unsigned int bits, bool fill);
    // Sets the bit to `value`, growing if needed; false only when memory runs out.
    bool Set(unsigned int bit, bool value);
    bool IsSet(unsigned int bit);
    bool IsClear(unsigned int bit);
    void Clear();
    // True when every block is 0.
    bool IsEmpty() const;
    bool operator!() const;
    // Inverts every bit of every block in place.
    CBitMask& operator~();
    // True when the two masks share a set bit, over the blocks both have.
    bool operator&(const CBitMask& other) const;

  private:
    // The block and the bit within it for `bit`, growing the mask if needed; false only when
    // memory runs out.
    bool GetBitBlock(unsigned int bit, unsigned int& bitInBlock, unsigned int*& block);

    unsigned int* m_blocks;
    unsigned int m_size;
    unsigned int m_bytesPerBlock;
    [[maybe_unused]] unsigned int m_bitsPerBlock;  // kept for the object's layout
    unsigned int m_blockCount;
    unsigned int m_byteCount;
};

}  // namespace TKV

#endif  // TKV_BIT_MASK_H
