#include "sortvector.h"

#include <algorithm>

sortvector_el *sortvector_el::clone() const
{
    auto *copy = new sortvector_el;
    copy->m_id = m_id;
    return copy;
}

SortVectorBase::SortVectorBase(uint step, uint maximum)
    : m_step(std::min(step, maximum)), m_maximum(maximum)
{
    LUM_ASSERT(m_step > 0);
    LUM_ASSERT(maximum <= 0x10000);
}

SortVectorBase::~SortVectorBase()
{
    clear();
}

uint SortVectorBase::firstFreeId() const
{
    for (uint id = 0; id < m_slots.size(); ++id) {
        if (!m_slots[id])
            return id;
    }
    return NoId;
}

void SortVectorBase::clear()
{
    sortvector_el *element = m_head;
    while (element) {
        sortvector_el *following = element->m_next;
        delete element;
        element = following;
    }
    std::fill(m_slots.begin(), m_slots.end(), nullptr);
    m_head = m_tail = nullptr;
    m_count = 0;
    m_highest = NoId;
}

void SortVectorBase::grow(uint newSize)
{
    m_slots.resize(std::min(newSize, m_maximum), nullptr);
}

uint SortVectorBase::insertElement(sortvector_el *element, uint id)
{
    LUM_ASSERT(element != NULL);
    const uint size = uint(m_slots.size());
    if (id == NoId) {
        id = firstFreeId();
        if (id == NoId) {
            grow(size + m_step);
            id = firstFreeId();
            if (id == NoId)
                return NoId;
        }
    } else if (id >= size && id < m_maximum) {
        grow(size + ((id - size) / m_step + 1) * m_step);
    }
    if (id >= m_slots.size() || m_slots[id])
        return NoId;

    element->m_id = uint16_t(id);
    link(element);
    m_slots[id] = element;
    ++m_count;
    if (m_highest == NoId || id > m_highest)
        m_highest = id;
    return id;
}

void SortVectorBase::link(sortvector_el *element)
{
    // Appending is the common case (loading, growing tables): check the tail first.
    sortvector_el *after = m_tail;
    while (after && after->m_id > element->m_id)
        after = after->m_prev;
    element->m_prev = after;
    element->m_next = after ? after->m_next : m_head;
    if (element->m_next)
        element->m_next->m_prev = element;
    else
        m_tail = element;
    if (after)
        after->m_next = element;
    else
        m_head = element;
}

// Both checks carry the texts that removing and looking up have always
// reported; an identifier beyond the slots names an empty slot.
sortvector_el *SortVectorBase::removeElement(uint id)
{
    if (!exists(id))
        ::lum::assertionFailed("Assert: 'exists(it->getId())' is FALSE", __LINE__, __FILE__);
    sortvector_el *element = m_slots[id];
    m_slots[id] = nullptr;
    --m_count;
    if (id == m_highest) {
        m_highest = NoId;
        for (uint below = id; below-- > 0;) {
            if (m_slots[below]) {
                m_highest = below;
                break;
            }
        }
    }
    (element->m_prev ? element->m_prev->m_next : m_head) = element->m_next;
    (element->m_next ? element->m_next->m_prev : m_tail) = element->m_prev;
    element->m_prev = element->m_next = nullptr;
    return element;
}

sortvector_el *SortVectorBase::element(uint id) const
{
    if (!exists(id))
        ::lum::assertionFailed("Assert: 'vector[id] != NULL' is FALSE", __LINE__, __FILE__);
    return m_slots[id];
}
