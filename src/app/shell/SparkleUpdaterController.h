#pragma once

// Software update. The updater's checks arrive with the update pane; here it only carries the
// consent that decides whether it sends the system profile.
class SparkleUpdaterController {
public:
    explicit SparkleUpdaterController(bool isRunningUnitTests) : isRunningUnitTests_(isRunningUnitTests) {}

    bool isRunningUnitTests() const { return isRunningUnitTests_; }
    bool sendsSystemProfile() const { return sendsSystemProfile_; }
    void setSendsSystemProfile(bool value) { sendsSystemProfile_ = value; }

private:
    bool isRunningUnitTests_;
    bool sendsSystemProfile_ = false;
};
