#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "nautilus/PendingUpdates.h"

namespace {

using namespace std::chrono_literals;

// One thing that happens to the waits: Nautilus asks (`add`, the wait is named by the order of
// asking, 0, 1, ...), the main loop's turn ends (`batch`), a badge arrives, Nautilus cancels, time
// passes, the application goes away. Each step names the waits it must end, for a batch what must be
// asked of the application, and after time passes which items are due to be asked again.
struct Step {
    enum Kind { add, batch, answer, cancel, wait, goneAway } kind;
    std::string path = {};  // add, answer
    int n = 0;         // cancel: which wait; wait: milliseconds
    std::vector<int> ends = {};
    std::vector<std::string> asked = {};
    bool cancelled = true;  // cancel: whether the wait was still running
    std::vector<std::string> retried = {};
};

struct Case {
    const char* name;
    std::vector<Step> steps;
    std::size_t stillWaiting;
};

TEST(PendingUpdates, EveryWaitEndsExactlyOnceAndEachPathIsAskedOncePerTurn) {
    const Case cases[] = {
        {"two asks of one item in a turn are one question, and its answer ends both",
         {{Step::add, "/s/a"}, {Step::add, "/s/b"}, {Step::add, "/s/a"},
          {Step::batch, {}, 0, {}, {"/s/a", "/s/b"}}, {Step::answer, "/s/a", 0, {0, 2}}},
         1},
        {"an item cancelled before its turn ends is not asked, and a late answer ends nothing",
         {{Step::add, "/s/a"}, {Step::cancel, {}, 0}, {Step::batch}, {Step::answer, "/s/a"}},
         0},
        {"cancelling one of two asks of an item leaves the other to its answer",
         {{Step::add, "/s/a"}, {Step::batch, {}, 0, {}, {"/s/a"}}, {Step::add, "/s/a"}, {Step::cancel, {}, 0},
          {Step::batch}, {Step::answer, "/s/a", 0, {1}}},
         0},
        {"an item still awaited is not asked again in a later turn",
         {{Step::add, "/s/a"}, {Step::batch, {}, 0, {}, {"/s/a"}}, {Step::add, "/s/a"}, {Step::batch}},
         2},
        {"an item asked after its answer is asked again",
         {{Step::add, "/s/a"}, {Step::batch, {}, 0, {}, {"/s/a"}}, {Step::answer, "/s/a", 0, {0}},
          {Step::add, "/s/a"}, {Step::batch, {}, 0, {}, {"/s/a"}}},
         1},
        {"the time-out ends a wait once: neither the late answer nor a cancel ends it again",
         {{Step::add, "/s/a"}, {Step::batch, {}, 0, {}, {"/s/a"}}, {Step::wait, {}, 1999}, {Step::wait, {}, 1, {0}},
          {Step::answer, "/s/a"}, {Step::cancel, {}, 0, {}, {}, false}},
         0},
        {"each wait has its own deadline",
         {{Step::add, "/s/a"}, {Step::wait, {}, 1500}, {Step::add, "/s/b"}, {Step::wait, {}, 500, {0}},
          {Step::wait, {}, 1500, {1}}},
         0},
        {"the application going away ends every wait, and nothing is asked of the next one",
         {{Step::add, "/s/a"}, {Step::add, "/s/b"}, {Step::goneAway, {}, 0, {0, 1}}, {Step::batch},
          {Step::answer, "/s/a"}},
         0},
        {"an item whose answer was lost is asked again later, three times at most",
         {{Step::add, "/s/a"}, {Step::wait, {}, 2000, {0}}, {Step::wait, {}, 3000, {}, {}, true, {"/s/a"}},
          {Step::add, "/s/a"}, {Step::wait, {}, 2000, {1}}, {Step::wait, {}, 3000, {}, {}, true, {"/s/a"}},
          {Step::add, "/s/a"}, {Step::wait, {}, 2000, {2}}, {Step::wait, {}, 3000, {}, {}, true, {"/s/a"}},
          {Step::add, "/s/a"}, {Step::wait, {}, 2000, {3}}, {Step::wait, {}, 3000}},
         0},
        {"an answer after the time-out, or a new ask, leaves nothing to ask again",
         {{Step::add, "/s/a"}, {Step::add, "/s/b"}, {Step::wait, {}, 2000, {0, 1}}, {Step::answer, "/s/a"},
          {Step::add, "/s/b"}, {Step::wait, {}, 1000}, {Step::wait, {}, 2000, {2}}},
         0},
        {"the application going away forgets what was to be asked again",
         {{Step::add, "/s/a"}, {Step::wait, {}, 2000, {0}}, {Step::goneAway}, {Step::wait, {}, 3000}},
         0},
        {"paths differing only in a trailing space, a newline or invalid UTF-8 are different items",
         {{Step::add, "/s/a"}, {Step::add, "/s/a "}, {Step::add, "/s/a\nb"}, {Step::add, "/s/\xff"},
          {Step::batch, {}, 0, {}, {"/s/a", "/s/a ", "/s/a\nb", "/s/\xff"}}, {Step::answer, "/s/a\nb", 0, {2}}},
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PendingUpdates pending(2000ms);
        PendingUpdates::Clock::time_point now{};
        std::vector<PendingUpdates::Id> ids;
        std::multiset<PendingUpdates::Id> everEnded;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            SCOPED_TRACE("step " + std::to_string(i));
            std::vector<PendingUpdates::Id> ended;
            switch (step.kind) {
            case Step::add: ids.push_back(pending.add(step.path, now)); break;
            case Step::batch: EXPECT_EQ(pending.takeBatch(), step.asked); break;
            case Step::answer: ended = pending.resolve(step.path); break;
            case Step::cancel: EXPECT_EQ(pending.cancel(ids.at(step.n)), step.cancelled); break;
            case Step::wait:
                now += std::chrono::milliseconds(step.n);
                ended = pending.expire(now);
                EXPECT_EQ(pending.dueRetries(now), step.retried);
                break;
            case Step::goneAway: ended = pending.takeAll(); break;
            }
            std::vector<PendingUpdates::Id> expected;
            for (const int wait : step.ends) expected.push_back(ids.at(wait));
            std::sort(ended.begin(), ended.end());
            EXPECT_EQ(ended, expected);
            everEnded.insert(ended.begin(), ended.end());
        }
        for (const PendingUpdates::Id id : ids) EXPECT_LE(everEnded.count(id), 1u) << "wait " << id;
        EXPECT_EQ(pending.size(), c.stillWaiting);
        // Idle, the module stops its timer: only when nothing waits and nothing is to be asked again.
        const bool idle = pending.idle();
        const bool nothingDue = pending.dueRetries(now + 1h).empty();
        EXPECT_EQ(idle, c.stillWaiting == 0 && nothingDue);
        EXPECT_EQ(std::set<PendingUpdates::Id>(ids.begin(), ids.end()).size(), ids.size()) << "a handle reused";
        EXPECT_EQ(std::count(ids.begin(), ids.end(), 0u), 0) << "a null handle";
    }
}

}  // namespace
