// CXMLItemList keeps the attributes (and child tags) a tag has handed out, sorted by name on
// demand so that a lookup is a binary search. Internal to the XML classes; public only because
// a tag holds two of them.
#ifndef TKV_XML_ITEM_LIST_H
#define TKV_XML_ITEM_LIST_H

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace TKV {

// One entry: the element's address, with what happens to the element when the entry goes
// (CXMLItemList's kOwn...) in its two low bits, so that a slot is one word.
template <class T>
struct CXMLItemHolder {
    uintptr_t bits;

    T* Element() const { return reinterpret_cast<T*>(bits & ~uintptr_t(3)); }
    unsigned char Owns() const { return static_cast<unsigned char>(bits & 3); }
};

// T has a public `name` (a CXMLToken); keys are names, as tokens or wide strings, compared by
// the token order. Owned elements are deleted by Clear and by the destructor, or only destroyed
// when their storage belongs to someone else. The list is neither copied nor assigned: a tag's
// copy starts empty.
template <class T>
class CXMLItemList {
  public:
    typedef CXMLItemHolder<T> Holder;
    enum : unsigned char { kOwnNothing = 0, kOwnDelete = 1, kOwnDestroy = 2 };
    // The slots a list starts with, its own or seeded; they double as entries arrive.
    static constexpr int kFirstSlots = 4;

    CXMLItemList() = default;
    CXMLItemList(const CXMLItemList&) = delete;
    CXMLItemList& operator=(const CXMLItemList&) = delete;
    ~CXMLItemList() { Clear(); }

    // Appends an entry and returns its index; -1 (nothing entered) when memory runs out. The
    // capacity grows in steps of growBy; the slot array itself only as entries arrive, since a
    // document has a list per tag and most hold a few entries. Slots are written before they
    // are read, so they come unzeroed (a zeroing allocation skips the allocator's fast path).
    int Add(T* element, bool owns) { return Enter(element, owns ? kOwnDelete : kOwnNothing); }
    // Appends an element whose storage is not the list's: Clear runs its destructor only.
    int AddInPlace(T* element) { return Enter(element, kOwnDestroy); }
    // Gives a list that has no slots yet its kFirstSlots first ones from storage that is not its
    // own (a tag's arena): they are neither freed nor resized, growth beyond them moves to the
    // heap.
    void Seed(Holder* slots) {
        if (items != nullptr || slots == nullptr)
            return;
        items = slots;
        seeded = true;
    }

    // The first entry of that name, or null; sorts first when entries came in.
    template <class Key>
    T* Find(const Key& name) {
        int i = FindIndex(name);
        return i < 0 ? nullptr : items[i].Element();
    }
    // The index of the first entry of that name (entries of one name follow it), or -1.
    template <class Key>
    int FindIndex(const Key& name) {
        if (count <= 0)
            return -1;
        if (!sorted) {
            sorted = true;
            Sort(items, 0, count - 1);
        }
        return Search(name, items, 0, count - 1);
    }

    // Deletes the owned elements and releases the slots.
    void Clear() {
        if (items == nullptr)
            return;
        for (int i = 0; i < count; ++i)
            if (items[i].Owns() == kOwnDelete)
                delete items[i].Element();
            else if (items[i].Owns() == kOwnDestroy)
                items[i].Element()->~T();
        if (!seeded)
            std::free(items);
        items = nullptr;
        count = 0;
        sorted = true;
        seeded = false;
    }

    int Count() const { return count; }
    // Counted in steps of growBy, one step ahead of the entries (apart from the slot array,
    // which grows as it needs).
    int Capacity() const { return count == 0 ? 0 : (count / growBy + 1) * growBy; }
    T* At(int i) const { return i >= 0 && i < count ? items[i].Element() : nullptr; }

    // Three-way partitioning quicksort (equal keys gathered around the pivot).
    static void Sort(Holder* a, int l, int r) {
        while (r > l) {
            int i = l - 1, j = r, p = l - 1, q = r;
            T* v = a[r].Element();
            for (;;) {
                while (Order(a[++i], v->name) < 0) {
                }
                while (Order(a[--j], v->name) > 0)
                    if (j == l)
                        break;
                if (i >= j)
                    break;
                std::swap(a[i], a[j]);
                if (Order(a[i], v->name) == 0)
                    std::swap(a[++p], a[i]);
                if (Order(a[j], v->name) == 0)
                    std::swap(a[--q], a[j]);
            }
            std::swap(a[i], a[r]);
            j = i - 1;
            i = i + 1;
            for (int k = l; k < p; ++k, --j)
                std::swap(a[k], a[j]);
            for (int k = r - 1; k > q; --k, ++i)
                std::swap(a[k], a[i]);
            Sort(a, l, j);
            l = i;
        }
    }

    // Binary search over sorted slots that lands on the first of equal names; -1 for none.
    template <class Key>
    static int Search(const Key& name, Holder* a, int low, int high) {
        while (low < high) {
            if (Order(a[low], name) == 0) {
                if (low == 0 || Order(a[low - 1], name) != 0)
                    return low;
                high = low;
                low = low / 2;
                continue;
            }
            int mid = (low + high) / 2;
            if (Order(a[mid], name) > 0)
                high = mid == high ? high - 1 : mid;
            else
                low = mid == low ? low + 1 : mid;
        }
        return Order(a[low], name) == 0 ? low : -1;
    }

  private:
    // The slot array holds kFirstSlots, then doubles: it is full when the count is one of
    // those sizes, so the list need not keep the size.
    int Enter(T* element, unsigned char owns) {
        static_assert(alignof(T) >= 4, "the holder keeps the ownership in the address's low bits");
        const bool full = items == nullptr || (count >= kFirstSlots && (count & (count - 1)) == 0);
        if (full) {
            const int grown = items == nullptr ? kFirstSlots : count * 2;
            auto* slots = static_cast<Holder*>(
                std::realloc(seeded ? nullptr : items, grown * sizeof(Holder)));
            if (slots == nullptr)
                return -1;
            if (seeded)
                std::copy(items, items + count, slots);
            items = slots;
            seeded = false;
        }
        // An entry after the last in order keeps a sorted list sorted, as the sort would leave
        // it: entries made in document order often come so, and need no sort then.
        if (sorted && count > 0 && Order(items[count - 1], element->name) >= 0)
            sorted = false;
        items[count] = Holder{reinterpret_cast<uintptr_t>(element) | owns};
        ++count;
        return count - 1;
    }

    template <class Key>
    static int Order(const Holder& h, const Key& name) {
        return h.Element()->name.Order(name);
    }

    Holder* items = nullptr;  // the first `count` in use
    int count = 0;
    bool sorted = true;
    bool seeded = false;  // items are someone else's storage
    static constexpr int growBy = 100;
};

}  // namespace TKV

#endif  // TKV_XML_ITEM_LIST_H
