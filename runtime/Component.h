// The component base: an owner that destroys what it owns, a name, a tag and a loading
// state that property setters can test (e.g. to defer work until loading has ended).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace runtime {

class TComponent {
public:
    // With an owner, the component belongs to it and must live on the heap (see
    // MakeOwned); the owner destroys it unless it is destroyed first.
    explicit TComponent(TComponent* owner = nullptr);
    virtual ~TComponent();

    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;
    TComponent(TComponent&&) = delete;
    TComponent& operator=(TComponent&&) = delete;

    [[nodiscard]] TComponent* Owner() const noexcept { return owner_; }
    [[nodiscard]] std::size_t ComponentCount() const noexcept { return owned_.size(); }
    [[nodiscard]] TComponent* Components(std::size_t index) const { return owned_.at(index); }

    [[nodiscard]] const std::string& Name() const noexcept { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    [[nodiscard]] std::intptr_t Tag() const noexcept { return tag_; }
    void SetTag(std::intptr_t tag) noexcept { tag_ = tag; }

    // Loading nests; Loaded() runs when the outermost loading ends.
    [[nodiscard]] bool IsLoading() const noexcept { return loading_ > 0; }
    void BeginLoading() noexcept { ++loading_; }
    void EndLoading();

protected:
    virtual void Loaded() {}

private:
    void Insert(TComponent* component);
    void Remove(TComponent* component) noexcept;

    TComponent* owner_ = nullptr;
    std::vector<TComponent*> owned_; // insertion order; destroyed from the back
    std::string name_;
    std::intptr_t tag_ = 0;
    int loading_ = 0;
};

// Scoped loading: the component is loading while the guard lives.
class TLoadingGuard {
public:
    explicit TLoadingGuard(TComponent& component) noexcept : component_(component) {
        component_.BeginLoading();
    }
    ~TLoadingGuard() { component_.EndLoading(); }
    TLoadingGuard(const TLoadingGuard&) = delete;
    TLoadingGuard& operator=(const TLoadingGuard&) = delete;

private:
    TComponent& component_;
};

// Creates a component that owner owns and returns it; the owner destroys it.
template <class T, class... Args> T& MakeOwned(TComponent& owner, Args&&... args) {
    auto component = std::make_unique<T>(&owner, std::forward<Args>(args)...);
    return *component.release(); // the constructor has handed it to owner
}

} // namespace runtime
