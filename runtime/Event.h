// Method-reference events: a code pointer plus the object it runs on. A handler is
// assigned when its code pointer is set; two handlers are equal when their code pointers
// are, whatever their objects (the same method bound to two objects compares equal).
#pragma once

#include <cassert>
#include <cstddef>
#include <type_traits>
#include <utility>

namespace runtime {

class TComponent;

template <class Signature> class TMethodEvent;

template <class R, class... Args> class TMethodEvent<R(Args...)> {
public:
    using Code = R (*)(void* object, Args... args);

    constexpr TMethodEvent() noexcept = default;
    constexpr TMethodEvent(std::nullptr_t) noexcept {}
    constexpr TMethodEvent(Code code, void* object) noexcept : code_(code), object_(object) {}

    // Binds a callable that outlives the event (tests, free functions with a context).
    // Every binding of the same callable type shares one code pointer.
    template <class F> static TMethodEvent FromCallable(F& callable) noexcept {
        return TMethodEvent(&CallThunk<F>, &callable);
    }

    [[nodiscard]] constexpr bool Assigned() const noexcept { return code_ != nullptr; }
    [[nodiscard]] constexpr Code CodePointer() const noexcept { return code_; }
    [[nodiscard]] constexpr void* Object() const noexcept { return object_; }

    // Callers test Assigned() first.
    R operator()(Args... args) const {
        assert(code_ != nullptr && "invoking an unassigned event");
        return code_(object_, std::forward<Args>(args)...);
    }

    friend constexpr bool operator==(const TMethodEvent& a, const TMethodEvent& b) noexcept {
        return a.code_ == b.code_;
    }

private:
    template <class F> static R CallThunk(void* object, Args... args) {
        return (*static_cast<F*>(object))(std::forward<Args>(args)...);
    }

    Code code_ = nullptr;
    void* object_ = nullptr;
};

namespace detail {

template <class Method> struct MethodTraits;

template <class C, class R, class... Args> struct MethodTraits<R (C::*)(Args...)> {
    using Class = C;
    using Event = TMethodEvent<R(Args...)>;
};

template <class C, class R, class... Args> struct MethodTraits<R (C::*)(Args...) const> {
    using Class = const C;
    using Event = TMethodEvent<R(Args...)>;
};

// One thunk per bound method: its address is the event's code pointer.
template <auto Method, class C, class R, class... Args> R MethodThunk(void* object, Args... args) {
    return (static_cast<C*>(object)->*Method)(std::forward<Args>(args)...);
}

template <auto Method, class C, class R, class... Args>
constexpr TMethodEvent<R(Args...)> Bind(C* object, TMethodEvent<R(Args...)>* /*tag*/) noexcept {
    using Plain = std::remove_const_t<C>;
    return TMethodEvent<R(Args...)>(&MethodThunk<Method, C, R, Args...>,
                                    const_cast<Plain*>(object));
}

} // namespace detail

// MakeEvent<&TForm::Handler>(form): the event that calls form->Handler(...).
template <auto Method>
constexpr auto MakeEvent(typename detail::MethodTraits<decltype(Method)>::Class* object) noexcept {
    using Traits = detail::MethodTraits<decltype(Method)>;
    assert(object != nullptr);
    return detail::Bind<Method>(object, static_cast<typename Traits::Event*>(nullptr));
}

template <auto Method>
constexpr auto MakeEvent(typename detail::MethodTraits<decltype(Method)>::Class& object) noexcept {
    return MakeEvent<Method>(&object);
}

// The toolkit's plain notification: who raised it.
using TNotifyEvent = TMethodEvent<void(TComponent* Sender)>;

} // namespace runtime
