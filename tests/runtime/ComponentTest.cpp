#include "runtime/Component.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace runtime::test {
namespace {

using ::testing::ElementsAre;

class TRecorded : public TComponent {
public:
    TRecorded(TComponent* owner, std::string name, std::vector<std::string>& destroyed)
        : TComponent(owner), destroyed_(destroyed) {
        SetName(std::move(name));
    }
    ~TRecorded() override { destroyed_.push_back(Name()); }

private:
    std::vector<std::string>& destroyed_;
};

TEST(ComponentTest, OwnerDestroysWhatItOwnsLastInFirstOut) {
    std::vector<std::string> destroyed;
    {
        TRecorded owner(nullptr, "owner", destroyed);
        auto& first = MakeOwned<TRecorded>(owner, "first", destroyed);
        MakeOwned<TRecorded>(owner, "second", destroyed);
        MakeOwned<TRecorded>(first, "first's child", destroyed);
        MakeOwned<TRecorded>(owner, "third", destroyed);
        EXPECT_EQ(owner.ComponentCount(), 3U);
        EXPECT_EQ(first.Owner(), &owner);
    }
    EXPECT_THAT(destroyed, ElementsAre("owner", "third", "second", "first", "first's child"));
}

TEST(ComponentTest, AComponentDestroyedFirstLeavesItsOwner) {
    std::vector<std::string> destroyed;
    {
        TRecorded owner(nullptr, "owner", destroyed);
        MakeOwned<TRecorded>(owner, "kept", destroyed);
        // Destroyed by someone else before the owner: the owner must forget it.
        auto early = std::make_unique<TRecorded>(&owner, "early", destroyed);
        MakeOwned<TRecorded>(owner, "last", destroyed);
        early.reset();
        ASSERT_EQ(owner.ComponentCount(), 2U);
        EXPECT_EQ(owner.Components(0)->Name(), "kept");
        EXPECT_EQ(owner.Components(1)->Name(), "last");
    }
    EXPECT_THAT(destroyed, ElementsAre("early", "owner", "last", "kept"));
}

// A component whose property setter defers its work while it is loading.
class TDeferring : public TComponent {
public:
    using TComponent::TComponent;
    void SetValue(int value) {
        value_ = value;
        if (!IsLoading()) {
            ++applied;
        }
    }
    int applied = 0;
    int loadedCalls = 0;

protected:
    void Loaded() override {
        ++loadedCalls;
        ++applied;
    }

private:
    int value_ = 0;
};

TEST(ComponentTest, SettersSeeTheLoadingStateAndLoadedRunsOnceAtTheEnd) {
    TDeferring component;
    EXPECT_FALSE(component.IsLoading());
    {
        TLoadingGuard outer(component);
        component.SetValue(1);
        {
            TLoadingGuard nested(component);
            component.SetValue(2);
        }
        EXPECT_TRUE(component.IsLoading());
        EXPECT_EQ(component.loadedCalls, 0);
    }
    EXPECT_FALSE(component.IsLoading());
    EXPECT_EQ(component.loadedCalls, 1);
    EXPECT_EQ(component.applied, 1);
    component.SetValue(3);
    EXPECT_EQ(component.applied, 2);
}

} // namespace
} // namespace runtime::test
