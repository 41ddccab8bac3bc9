#pragma once

#include <memory>
#include <utility>

// A value whose copies share one stored object until one of them is changed,
// so that a large value copied into many owners costs memory once. Copies
// behave as independent values; comparison compares the values. Meant for
// values owned on one thread.
template <typename T>
class SharedValue
{
public:
    SharedValue() : m_value(std::make_shared<T>()) {}
    explicit SharedValue(T value) : m_value(std::make_shared<T>(std::move(value))) {}

    const T &get() const { return *m_value; }
    void set(T value) { m_value = std::make_shared<T>(std::move(value)); }

    // The value to change in place; a shared one is copied first, so the
    // other copies keep what they had.
    T &edit()
    {
        if (m_value.use_count() > 1)
            m_value = std::make_shared<T>(*m_value);
        return *m_value;
    }

    bool operator==(const SharedValue &other) const
    {
        return m_value == other.m_value || *m_value == *other.m_value;
    }

private:
    std::shared_ptr<T> m_value;
};
