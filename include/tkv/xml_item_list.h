// CXMLItemList keeps the attributes (and child tags) a tag has handed out, sorted by name on
// demand so that a lookup is a binary search. Internal to the XML classes; public only because
// a tag holds two of them.
#ifndef TKV_XML_ITEM_LIST_H
#define TKV_XML_ITEM_LIST_H

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace TKV {

template <class T>
struct CXMLItemHolder {
    T* element;
    unsigned char owns;  // what happens to element when the entry goes: CXMLItemList's kOwn...
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
    // Gives a list that has no slots yet its first ones from storage that is not its own (a
    // tag's arena): they are neither freed nor resized, growth beyond them moves to the heap.
    void Seed(Holder* slots, int n) {
        if (items != nullptr || slots == nullptr)
            return;
        items = slots;
        allocated = n;
        seeded = true;
    }

    // The first entry of that name, or null; sorts first when entries came in.
    template <class Key>
    T* Find(const Key& name) {
        int i = FindIndex(name);
        return i < 0 ? nullptr : items[i].element;
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
            if (items[i].owns == kOwnDelete)
                delete items[i].element;
            else if (items[i].owns == kOwnDestroy)
                items[i].element->~T();
        if (!seeded)
            std::free(items);
        items = nullptr;
        count = 0;
        capacity = 0;
        allocated = 0;
        sorted = true;
        seeded = false;
    }

    int Count() const { return count; }
    int Capacity() const { return capacity; }
    T* At(int i) const { return i >= 0 && i < count ? items[i].element : nullptr; }

    // Three-way partitioning quicksort (equal keys gathered around the pivot).
    static void Sort(Holder* a, int l, int r) {
        while (r > l) {
            int i = l - 1, j = r, p = l - 1, q = r;
            T* v = a[r].element;
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
    int Enter(T* element, unsigned char owns) {
        if (count + 1 >= capacity)
            capacity += growBy;
        if (count >= allocated) {
            int grown = allocated < 4 ? 4 : allocated * 2;
            auto* slots = static_cast<Holder*>(
                std::realloc(seeded ? nullptr : items, grown * sizeof(Holder)));
            if (slots == nullptr)
                return -1;
            if (seeded)
                std::copy(items, items + count, slots);
            items = slots;
            allocated = grown;
            seeded = false;
        }
        items[count] = Holder{element, owns};
        ++count;
        sorted = false;
        return count - 1;
    }

    template <class Key>
    static int Order(const Holder& h, const Key& name) {
        return h.element->name.Order(name);
    }

    Holder* items = nullptr;  // `allocated` slots, the first `count` in use
    int capacity = 0;
    int allocated = 0;
    int count = 0;
    bool sorted = true;
    bool seeded = false;  // items are someone else's storage
    static constexpr int growBy = 100;
};

}  // namespace TKV

#endif  // TKV_XML_ITEM_LIST_H
