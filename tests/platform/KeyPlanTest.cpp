#include "platform/linux/KeyPlan.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrun::test {
namespace {

// `codes` key codes with `levels` levels each, as the X side offers them.
std::vector<KeySlot> Slots(int codes, int levels)
{
    std::vector<KeySlot> slots;
    for (int code = 0; code < codes; ++code)
        for (int level = 0; level < levels; ++level)
            slots.push_back({static_cast<unsigned char>(10 + code), level});
    return slots;
}

// One need per letter; an upper-case letter stands for its lower-case keysym
// typed with Shift.
std::vector<KeyNeed> Needs(const std::string& text)
{
    std::vector<KeyNeed> needs;
    for (char c : text) {
        const bool shifted = c >= 'A' && c <= 'Z';
        needs.push_back({static_cast<unsigned long>(shifted ? c - 'A' + 'a' : c), shifted});
    }
    return needs;
}

struct Replay {
    int phases = 0;       // phases that change the map
    int reassigned = 0;   // slots given a new keysym
};

// Types the plan on a model of the slots and checks that every need finds its
// keysym on a slot of the right kind when its turn comes.
Replay Check(const KeyPlan& plan, const std::vector<KeySlot>& slots, const std::vector<KeyNeed>& needs,
             std::vector<unsigned long> held = {})
{
    held.resize(slots.size(), 0);
    Replay replay;
    EXPECT_TRUE(plan.ok);
    EXPECT_EQ(plan.slotOf.size(), needs.size());
    std::size_t phase = 0;
    for (std::size_t i = 0; i < needs.size() && i < plan.slotOf.size(); ++i) {
        for (; phase < plan.phases.size() && plan.phases[phase].first <= i; ++phase) {
            replay.phases += !plan.phases[phase].changes.empty();
            for (const SlotChange& change : plan.phases[phase].changes) {
                held[change.slot] = change.keysym;
                ++replay.reassigned;
            }
        }
        const std::size_t slot = plan.slotOf[i];
        EXPECT_EQ(held[slot], needs[i].keysym) << "need " << i;
        if (needs[i].withShift) {
            EXPECT_TRUE(slots[slot].shifted()) << "need " << i << " is typed with Shift";
        }
    }
    return replay;
}

TEST(KeyPlan, FitsAWholeTextInOneChangeUsingEveryLevel)
{
    const auto slots = Slots(2, 4);
    const auto needs = Needs("abcdefghhgfedcba");
    const KeyPlan plan = PlanKeySlots(slots, needs, {});
    const Replay replay = Check(plan, slots, needs);
    EXPECT_EQ(replay.phases, 1);
    EXPECT_EQ(replay.reassigned, 8);
}

TEST(KeyPlan, KeysymsAlreadyInPlaceAreNotMoved)
{
    const auto slots = Slots(2, 2);
    const std::vector<unsigned long> held{'x', 'b', 0, 'a'};
    const auto needs = Needs("abab");
    const KeyPlan plan = PlanKeySlots(slots, needs, held);
    EXPECT_EQ(Check(plan, slots, needs, held).reassigned, 0);

    const auto more = Needs("abc");
    const KeyPlan grown = PlanKeySlots(slots, more, held);
    const Replay replay = Check(grown, slots, more, held);
    EXPECT_EQ(replay.reassigned, 1);
    EXPECT_EQ(grown.slotOf[2], 2u) << "the free slot, not the one holding x";
}

TEST(KeyPlan, KeysymsTypedWithShiftSitOnShiftLevels)
{
    const auto slots = Slots(2, 2);
    // a and b hold both Shift levels but are typed plain: they give way to C
    // and D, which can sit nowhere else.
    const std::vector<unsigned long> held{0, 'a', 0, 'b'};
    const auto needs = Needs("abCD");
    const KeyPlan plan = PlanKeySlots(slots, needs, held);
    const Replay replay = Check(plan, slots, needs, held);
    EXPECT_EQ(replay.phases, 1);
}

TEST(KeyPlan, MoreKeysymsThanSlotsTakeTheFewestChanges)
{
    struct Case {
        const char* text;
        int codes, levels;
        int phases, reassigned;
    };
    const Case cases[] = {
        // Each phase holds as many distinct keysyms as there are slots.
        {"abcdefghijabcdefghij", 2, 2, 5, 20},
        // b stays through the second phase; only a makes way for c.
        {"ababcbcbcbab", 1, 2, 3, 4},
        // Shift keysyms fill the Shift levels first, the plain ones the rest.
        {"AbCdAbCdEfEf", 2, 2, 2, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto slots = Slots(c.codes, c.levels);
        const auto needs = Needs(c.text);
        const KeyPlan plan = PlanKeySlots(slots, needs, {});
        const Replay replay = Check(plan, slots, needs);
        EXPECT_EQ(replay.phases, c.phases);
        EXPECT_EQ(replay.reassigned, c.reassigned);
    }
}

TEST(KeyPlan, EvictsTheKeysymNeededFurthestAhead)
{
    // Two Shift keysyms end the first phase at C with a plain slot to spare:
    // x takes the slot of whichever of p and q comes back later.
    const auto slots = Slots(2, 2);
    const std::vector<unsigned long> held{'p', 0, 'q', 0};
    const std::pair<const char*, std::size_t> cases[] = {{"ABxCqp", 0}, {"ABxCpq", 2}};
    for (const auto& [text, slotOfX] : cases) {
        SCOPED_TRACE(text);
        const auto needs = Needs(text);
        const KeyPlan plan = PlanKeySlots(slots, needs, held);
        Check(plan, slots, needs, held);
        EXPECT_EQ(plan.slotOf[2], slotOfX);
    }
}

TEST(KeyPlan, FailsWhenAKeysymFitsNowhere)
{
    EXPECT_FALSE(PlanKeySlots({}, Needs("a"), {}).ok);
    EXPECT_FALSE(PlanKeySlots(Slots(3, 1), Needs("aB"), {}).ok) << "no Shift level for B";
    const KeyPlan nothing = PlanKeySlots({}, {}, {});
    EXPECT_TRUE(nothing.ok);
    EXPECT_TRUE(nothing.phases.empty());
}

}  // namespace
}  // namespace kestrun::test
