#include "runtime/Component.h"

#include <algorithm>
#include <cassert>

namespace runtime {

TComponent::TComponent(TComponent* owner) {
    if (owner != nullptr) {
        owner->Insert(this);
    }
}

TComponent::~TComponent() {
    // Last in, first out; an owned component's destructor may destroy siblings, so take
    // one at a time from what is left.
    while (!owned_.empty()) {
        TComponent* component = owned_.back();
        owned_.pop_back();
        component->owner_ = nullptr;
        delete component; // ownership by owner
    }
    if (owner_ != nullptr) {
        owner_->Remove(this);
    }
}

void TComponent::EndLoading() {
    assert(loading_ > 0);
    if (loading_ > 0 && --loading_ == 0) {
        Loaded();
    }
}

void TComponent::Insert(TComponent* component) {
    owned_.push_back(component);
    component->owner_ = this;
}

void TComponent::Remove(TComponent* component) noexcept {
    const auto it = std::find(owned_.begin(), owned_.end(), component);
    if (it != owned_.end()) {
        owned_.erase(it);
    }
    component->owner_ = nullptr;
}

} // namespace runtime
