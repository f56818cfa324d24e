#include "platform/KeyPlan.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <unordered_map>

namespace kestrun {

namespace {

constexpr std::size_t kNever = std::numeric_limits<std::size_t>::max();

// The kinds of level a keysym may need, as bits: a code's first level, its
// Shift level, and the higher levels without and with Shift.
constexpr unsigned kFirst = 1, kFirstShifted = 2, kHigher = 4, kHigherShifted = 8, kAnyLevel = 15;

unsigned KindOf(const KeySlot& slot)
{
    if (slot.level < 2)
        return slot.level == 0 ? kFirst : kFirstShifted;
    return slot.shifted() ? kHigherShifted : kHigher;
}

unsigned KindsFor(const KeyNeed& need)
{
    if (need.asShortcut)
        return need.withShift ? kFirstShifted : kFirst;
    return need.withShift ? kFirstShifted | kHigherShifted : kAnyLevel;
}

// Keysyms counted by the kinds of level they accept, against free slots
// counted by kind. Every keysym finds a slot of its own exactly when, for
// every set of kinds, the keysyms accepting only those kinds are no more than
// the free slots of those kinds.
struct Demand {
    std::array<std::size_t, 16> keysyms{};
    std::array<std::size_t, 16> slots{};  // indexed by a single kind bit

    bool Feasible() const
    {
        for (unsigned kinds = 1; kinds <= kAnyLevel; ++kinds) {
            std::size_t wanted = 0, offered = 0;
            for (unsigned mask = 1; mask <= kAnyLevel; ++mask)
                if ((mask & ~kinds) == 0)
                    wanted += keysyms[mask];
            for (unsigned kind = 1; kind <= kAnyLevel; kind <<= 1)
                if (kinds & kind)
                    offered += slots[kind];
            if (wanted > offered)
                return false;
        }
        return true;
    }
};

// Where each keysym is needed, to find its next use from any point.
class NextUse {
public:
    explicit NextUse(const std::vector<KeyNeed>& needs)
    {
        for (std::size_t i = 0; i < needs.size(); ++i)
            uses_[needs[i].keysym].push_back(i);
    }

    std::size_t From(unsigned long keysym, std::size_t position) const
    {
        const auto found = uses_.find(keysym);
        if (found == uses_.end())
            return kNever;
        const auto next = std::lower_bound(found->second.begin(), found->second.end(), position);
        return next == found->second.end() ? kNever : *next;
    }

private:
    std::unordered_map<unsigned long, std::vector<std::size_t>> uses_;
};

// The distinct keysyms of needs [first, end), each with the kinds of level
// every use of it accepts; `end` as far as the slots allow. A keysym whose
// uses accept no common kind ends the phase: the next one moves it.
struct PhaseSpan {
    std::size_t end = 0;
    std::unordered_map<unsigned long, unsigned> keysyms;
    std::vector<unsigned long> inOrder;  // by first use
};

PhaseSpan LongestPhase(const std::vector<KeyNeed>& needs, std::size_t first, Demand demand)
{
    PhaseSpan span;
    for (span.end = first; span.end < needs.size(); ++span.end) {
        const KeyNeed& need = needs[span.end];
        const auto known = span.keysyms.find(need.keysym);
        const unsigned before = known == span.keysyms.end() ? 0 : known->second;
        const unsigned after = before ? before & KindsFor(need) : KindsFor(need);
        if (after == 0)
            break;
        if (after == before)
            continue;
        Demand next = demand;
        if (before != 0)
            --next.keysyms[before];
        ++next.keysyms[after];
        if (!next.Feasible())
            break;
        demand = next;
        if (before == 0)
            span.inOrder.push_back(need.keysym);
        span.keysyms[need.keysym] = after;
    }
    return span;
}

}  // namespace

KeyPlan PlanKeySlots(const std::vector<KeySlot>& slots, const std::vector<KeyNeed>& needs,
                     std::vector<unsigned long> held)
{
    KeyPlan plan;
    held.resize(slots.size(), 0);
    Demand empty;
    for (const KeySlot& slot : slots)
        ++empty.slots[KindOf(slot)];
    const NextUse nextUse(needs);
    plan.slotOf.resize(needs.size());

    for (std::size_t first = 0; first < needs.size();) {
        PhaseSpan span = LongestPhase(needs, first, empty);
        if (span.end == first) {
            plan.phases.clear();
            plan.slotOf.clear();
            return plan;
        }
        Demand demand = empty;
        for (const auto& [keysym, kinds] : span.keysyms)
            ++demand.keysyms[kinds];

        std::vector<bool> taken(slots.size(), false);
        std::unordered_map<unsigned long, std::size_t> placed;
        const auto take = [&](std::size_t slot, unsigned long keysym) {
            Demand next = demand;
            --next.keysyms[span.keysyms[keysym]];
            --next.slots[KindOf(slots[slot])];
            if (!next.Feasible())
                return false;
            demand = next;
            taken[slot] = true;
            placed[keysym] = slot;
            return true;
        };
        // Keysyms already in place stay where the slot suits them and leaves
        // room for the rest; the most particular ones first.
        for (int choices = 1; choices <= 4; ++choices) {
            for (std::size_t s = 0; s < slots.size(); ++s) {
                const auto wanted = span.keysyms.find(held[s]);
                if (held[s] == 0 || wanted == span.keysyms.end() || std::popcount(wanted->second) != choices ||
                    placed.contains(held[s]) || !(wanted->second & KindOf(slots[s])))
                    continue;
                take(s, held[s]);
            }
        }

        std::vector<unsigned long> missing;
        for (unsigned long keysym : span.inOrder)
            if (!placed.contains(keysym))
                missing.push_back(keysym);
        std::stable_sort(missing.begin(), missing.end(), [&](unsigned long a, unsigned long b) {
            return std::popcount(span.keysyms[a]) < std::popcount(span.keysyms[b]);
        });

        KeyPhase phase{first, {}};
        for (unsigned long keysym : missing) {
            const unsigned kinds = span.keysyms[keysym];
            // Furthest next use first; then a free slot before one whose
            // keysym a later text may want; then a plain level, leaving
            // Shift levels to the keysyms that need them.
            std::vector<std::size_t> order;
            for (std::size_t s = 0; s < slots.size(); ++s)
                if (!taken[s] && (kinds & KindOf(slots[s])))
                    order.push_back(s);
            const auto use = [&](std::size_t s) { return held[s] == 0 ? kNever : nextUse.From(held[s], span.end); };
            const auto rank = [&](std::size_t s) { return 2 * (held[s] != 0) + slots[s].shifted(); };
            std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
                return use(a) != use(b) ? use(a) > use(b) : rank(a) < rank(b);
            });
            const auto chosen = std::find_if(order.begin(), order.end(), [&](std::size_t s) { return take(s, keysym); });
            if (chosen == order.end()) {  // cannot happen for a feasible span; refuse rather than mistype
                plan.phases.clear();
                plan.slotOf.clear();
                return plan;
            }
            held[*chosen] = keysym;
            phase.changes.push_back({*chosen, keysym});
        }
        for (std::size_t i = first; i < span.end; ++i)
            plan.slotOf[i] = placed[needs[i].keysym];
        plan.phases.push_back(std::move(phase));
        first = span.end;
    }
    plan.ok = true;
    return plan;
}

}  // namespace kestrun
