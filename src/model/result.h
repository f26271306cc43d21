#pragma once
// A value, or the error that kept it from being made. A caller cannot drop
// one unseen: the type is [[nodiscard]], so every call that returns one must
// look at it or say why not.

#include <type_traits>
#include <utility>
#include <variant>

namespace ordavel {

template <typename T, typename E>
class [[nodiscard]] Result {
    static_assert(!std::is_same_v<T, E>, "a value and an error of the same type cannot be told apart");

public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(E error) : m_state(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return m_state.index() == 0; }
    // The value; only when ok() (otherwise it throws std::bad_variant_access).
    T& value() & { return std::get<0>(m_state); }
    const T& value() const& { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    // The error; only when not ok().
    const E& error() const { return std::get<1>(m_state); }

private:
    std::variant<T, E> m_state;
};

} // namespace ordavel
