#include "platform/KeyPlan.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace kestrun::test {
namespace {

struct Case {
    std::string text;  // one need per letter; upper case is the lower-case keysym typed with Shift; after ^ with Ctrl
    int codes, levels;
    std::string held;  // what each slot holds already; '.' for nothing
    int phases, reassigned;
    int slotOfThird = -1;  // the slot that types the third need, when it matters
};

// Plans the text on `codes` key codes of `levels` levels each, replays the plan on a model of the
// slots and checks that every need finds its keysym on a slot of the right kind when its turn comes.
void PlanAndReplay(const Case& c)
{
    SCOPED_TRACE(c.text + " on " + c.held);
    std::vector<KeySlot> slots;
    for (int code = 0; code < c.codes; ++code)
        for (int level = 0; level < c.levels; ++level)
            slots.push_back({static_cast<unsigned char>(10 + code), level});
    std::vector<KeyNeed> needs;
    for (std::size_t k = 0; k < c.text.size(); ++k) {
        const bool control = c.text[k] == '^';
        const char letter = c.text[k += control];
        needs.push_back({static_cast<unsigned long>(std::tolower(letter)), std::isupper(letter) != 0, control});
    }
    std::vector<unsigned long> held(slots.size(), 0);
    for (std::size_t slot = 0; slot < c.held.size(); ++slot)
        held[slot] = c.held[slot] == '.' ? 0 : c.held[slot];

    const KeyPlan plan = PlanKeySlots(slots, needs, held);
    ASSERT_TRUE(plan.ok);
    ASSERT_EQ(plan.slotOf.size(), needs.size());
    int phases = 0, reassigned = 0;
    std::size_t phase = 0;
    for (std::size_t i = 0; i < needs.size(); ++i) {
        for (; phase < plan.phases.size() && plan.phases[phase].first <= i; ++phase) {
            phases += !plan.phases[phase].changes.empty();
            for (const SlotChange& change : plan.phases[phase].changes)
                held[change.slot] = change.keysym, ++reassigned;
        }
        const std::size_t slot = plan.slotOf[i];
        EXPECT_EQ(held[slot], needs[i].keysym) << "need " << i;
        EXPECT_TRUE(!needs[i].withShift || slots[slot].shifted()) << "need " << i << " is typed with Shift";
        EXPECT_TRUE(!needs[i].asShortcut || slots[slot].level == needs[i].withShift) << "need " << i << " is a shortcut";
    }
    EXPECT_EQ(phases, c.phases);
    EXPECT_TRUE(c.reassigned < 0 || reassigned == c.reassigned) << reassigned << " slots reassigned";
    EXPECT_TRUE(c.slotOfThird < 0 || plan.slotOf[2] == static_cast<std::size_t>(c.slotOfThird)) << plan.slotOf[2];
}

TEST(KeyPlan, EveryNeedIsTypedWithTheFewestChanges)
{
    const Case cases[] = {
        {"abcdefghhgfedcba", 2, 4, "", 1, 8},  // every level used
        {"abab", 2, 2, "xb.a", 0, 0},          // keysyms in place stay
        {"abc", 2, 2, "xb.a", 1, 1, 2},        // the free slot, not the one holding x
        {"abCD", 2, 2, ".a.b", 1, -1},         // a and b give the Shift levels to C and D
        {"abcdefghijabcdefghij", 2, 2, "", 5, 20},  // each phase fills every slot
        {"ababcbcbcbab", 1, 2, "", 3, 4},      // b stays; only a makes way for c
        {"AbCdAbCdEfEf", 2, 2, "", 2, 6},      // Shift keysyms first on the Shift levels
        {"ABxCqp", 2, 2, "p.q.", 2, -1, 0},    // x takes the slot of the keysym needed later
        {"ABxCpq", 2, 2, "p.q.", 2, -1, 2},
        {"ab^s", 1, 4, "a...", 1, 3},            // Ctrl+S on the first level, a moved up
        {"^s^a", 2, 4, "..s.a...", 1, 1},        // s stays first; a leaves a third level
        {"^Sab", 1, 4, "", 1, 3, -1},            // Ctrl+Shift+S on the first Shift level
        {"s^ss", 2, 2, "...s", 1, 1},            // moved from a Shift level for its shortcut
        {"S^sS", 2, 2, "", 2, -1},               // one slot cannot suit both uses
        {"", 0, 0, "", 0, 0},
    };
    for (const Case& c : cases)
        PlanAndReplay(c);
}

TEST(KeyPlan, FailsWhenAKeysymFitsNowhere)
{
    EXPECT_FALSE(PlanKeySlots({}, {{'a', false}}, {}).ok);
    EXPECT_FALSE(PlanKeySlots({{10, 0}, {11, 0}, {12, 0}}, {{'a', false}, {'b', true}}, {}).ok) << "no Shift level for B";
}

}  // namespace
}  // namespace kestrun::test
