#include "platform/WindowWait.h"

#include <gtest/gtest.h>

#include <vector>

namespace kestrun::test {
namespace {

using namespace std::chrono_literals;

TEST(WindowWait, EndsAtTheFirstFoundOrEndedLookOrAtAStop)
{
    using enum WindowLook;
    struct Row {
        std::vector<WindowLook> looks;  // the last one repeats
        bool stopAfterFirst = false;
        bool found = false;
        int looksTaken = 0;
    };
    const Row rows[] = {
        {{Found}, false, true, 1},
        {{Ended}, false, false, 1},
        {{Pending, Pending, Found}, false, true, 3},
        {{Pending, Ended, Found}, false, false, 2},
        {{Pending, Found}, true, false, 1},
    };
    for (const Row& row : rows) {
        int taken = 0;
        const bool found = WaitForWindowWith(
            [&] { return row.looks[std::min<std::size_t>(taken++, row.looks.size() - 1)]; }, 10s,
            [&] { return row.stopAfterFirst && taken >= 1; });
        EXPECT_EQ(found, row.found) << row.looks.size();
        EXPECT_EQ(taken, row.looksTaken) << row.looks.size();
    }
}

TEST(WindowWait, LooksOnceEvenWithNoTimeAndAgainWhileTimeIsLeft)
{
    int taken = 0;
    EXPECT_TRUE(WaitForWindowWith([&] { return ++taken == 1 ? WindowLook::Found : WindowLook::Pending; }, 0ms,
                                  [] { return false; }));
    taken = 0;
    EXPECT_FALSE(WaitForWindowWith([&] { ++taken; return WindowLook::Pending; }, 0ms, [] { return false; }));
    EXPECT_EQ(taken, 1);
    taken = 0;
    EXPECT_FALSE(WaitForWindowWith([&] { ++taken; return WindowLook::Pending; }, 1s, [] { return false; }));
    EXPECT_GT(taken, 1);
}

}  // namespace
}  // namespace kestrun::test
