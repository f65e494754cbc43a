#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "frameworks/business/ConnectivityManager.h"

namespace {

class RecordingSubscriber : public ConnectivityChangeSubscriber {
public:
    explicit RecordingSubscriber(QUuid id = QUuid::createUuid()) : id_(id) {}
    QUuid identifier() const override { return id_; }
    void connectivityChanged(ConnectivityManager& manager) override {
        states.push_back(manager.isConnected());
        if (onChange) onChange(manager);
    }
    std::vector<bool> states;
    std::function<void(ConnectivityManager&)> onChange;

private:
    QUuid id_;
};

TEST(ConnectivityManagerTest, SubscribersHearTheCurrentStateThenEveryChange) {
    bool reachable = true;
    ConnectivityManager manager([&] { return reachable; });
    RecordingSubscriber a;
    manager.addSubscriber(&a);
    EXPECT_EQ(a.states, std::vector<bool>{true});

    manager.refresh();  // unchanged: nobody is told
    reachable = false;
    manager.refresh();
    reachable = true;
    manager.refresh();
    manager.refresh(true);  // forced: told again although unchanged
    EXPECT_EQ(a.states, (std::vector<bool>{true, false, true, true}));

    manager.removeSubscriber(a.identifier());
    reachable = false;
    manager.refresh();
    EXPECT_EQ(a.states.size(), 4u);
    EXPECT_EQ(manager.subscriberCount(), 0);
}

TEST(ConnectivityManagerTest, RejectsNullAndDuplicateSubscribers) {
    ConnectivityManager manager([] { return true; });
    EXPECT_THROW(manager.addSubscriber(nullptr), ConnectivityError);
    const QUuid id = QUuid::createUuid();
    RecordingSubscriber first(id), second(id);
    manager.addSubscriber(&first);
    EXPECT_THROW(manager.addSubscriber(&second), ConnectivityError);
    EXPECT_TRUE(second.states.empty());
    EXPECT_EQ(manager.subscriberCount(), 1);
}

TEST(ConnectivityManagerTest, SubscriberMayRemoveAnotherWhileBeingTold) {
    bool reachable = true;
    ConnectivityManager manager([&] { return reachable; });
    RecordingSubscriber a, b;
    manager.addSubscriber(&a);
    manager.addSubscriber(&b);
    // Whoever is told first removes both; the other must not be called after its removal.
    auto removeBoth = [&](ConnectivityManager& m) {
        m.removeSubscriber(a.identifier());
        m.removeSubscriber(b.identifier());
    };
    a.onChange = removeBoth;
    b.onChange = removeBoth;
    reachable = false;
    manager.refresh();
    EXPECT_EQ(a.states.size() + b.states.size(), 3u);  // two first-state calls and one change
    EXPECT_EQ(manager.subscriberCount(), 0);
}

TEST(ConnectivityManagerTest, WithoutProbeIsOffline) {
    ConnectivityManager manager(nullptr);
    EXPECT_FALSE(manager.isConnected());
}

}  // namespace
