#pragma once

// The identifier-indexed container of the project tables. Every element has a
// 16-bit identifier that is also its slot index; the elements are linked in
// ascending identifier order, which is the iteration order everywhere. The
// lowest free identifier is handed out first, so freed identifiers are reused.

#include "lum_assert.h"

#include <cstdint>
#include <iterator>
#include <memory>
#include <vector>

// The element base: its identifier and the links of the ordered list.
class sortvector_el
{
public:
    sortvector_el() = default;
    virtual ~sortvector_el() = default;
    sortvector_el(const sortvector_el &) = delete;
    sortvector_el &operator=(const sortvector_el &) = delete;

    uint getId() const { return m_id; }
    virtual bool lessThan(const sortvector_el &other) const { return m_id < other.m_id; }
    // A new bare element with the same identifier.
    virtual sortvector_el *clone() const;

private:
    friend class SortVectorBase;
    uint16_t m_id = 0;
    sortvector_el *m_prev = nullptr;
    sortvector_el *m_next = nullptr;
};

// Untyped storage; SortVector<T> adds the element type.
class SortVectorBase
{
public:
    static constexpr uint NoId = uint(-1);

    SortVectorBase(uint step, uint maximum);
    ~SortVectorBase();
    SortVectorBase(const SortVectorBase &) = delete;
    SortVectorBase &operator=(const SortVectorBase &) = delete;

    bool exists(uint id) const { return id < m_slots.size() && m_slots[id] != nullptr; }
    uint count() const { return m_count; }
    bool isEmpty() const { return m_count == 0; }
    uint slotCount() const { return uint(m_slots.size()); }
    uint maximum() const { return m_maximum; }
    // Largest identifier in use, NoId when empty.
    uint highestId() const { return m_highest; }
    // Lowest identifier whose slot is empty, NoId when every slot is used.
    uint firstFreeId() const;
    // Identifiers that remain before the table is full.
    uint freeCount() const { return m_maximum - m_count; }

    void clear();

protected:
    uint insertElement(sortvector_el *element, uint id);
    sortvector_el *removeElement(uint id);
    sortvector_el *element(uint id) const;
    sortvector_el *first() const { return m_head; }
    static sortvector_el *next(const sortvector_el *element) { return element->m_next; }

private:
    void grow(uint newSize);
    void link(sortvector_el *element);

    std::vector<sortvector_el *> m_slots;
    sortvector_el *m_head = nullptr;
    sortvector_el *m_tail = nullptr;
    uint m_count = 0;
    uint m_step;
    uint m_maximum;
    uint m_highest = NoId;
};

template <typename T>
class SortVector : public SortVectorBase
{
public:
    class const_iterator
    {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T *;
        using difference_type = std::ptrdiff_t;
        using pointer = T **;
        using reference = T *;

        explicit const_iterator(sortvector_el *element = nullptr) : m_element(element) {}
        T *operator*() const { return static_cast<T *>(m_element); }
        const_iterator &operator++()
        {
            m_element = SortVector::next(m_element);
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator old = *this;
            ++*this;
            return old;
        }
        bool operator==(const const_iterator &other) const = default;

    private:
        sortvector_el *m_element;
    };

    SortVector(uint step, uint maximum) : SortVectorBase(step, maximum) {}

    // Takes the element; NoId when the identifier is in use or out of room,
    // in which case the element is deleted and the table is unchanged.
    uint insert(std::unique_ptr<T> element, uint id = NoId)
    {
        const uint given = insertElement(element.get(), id);
        if (given != NoId)
            element.release();
        return given;
    }

    // Hands the element back; the caller owns it from then on.
    std::unique_ptr<T> remove(uint id)
    {
        return std::unique_ptr<T>(static_cast<T *>(removeElement(id)));
    }
    std::unique_ptr<T> remove(const T *it)
    {
        LUM_ASSERT(exists(it->getId()));
        return remove(it->getId());
    }

    T *at(uint id) const { return static_cast<T *>(element(id)); }

    const_iterator begin() const { return const_iterator(first()); }
    const_iterator end() const { return const_iterator(); }

private:
    friend class const_iterator;
};
