#include "platform/linux/KeyPlan.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace kestrun {

namespace {

constexpr std::size_t kNever = std::numeric_limits<std::size_t>::max();

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

// The distinct keysyms of needs [first, end), each with whether Shift is held
// for any of its uses; `end` as far as the slots allow.
struct PhaseSpan {
    std::size_t end = 0;
    std::unordered_map<unsigned long, bool> keysyms;
    std::vector<unsigned long> inOrder;  // by first use
};

PhaseSpan LongestPhase(const std::vector<KeyNeed>& needs, std::size_t first, std::size_t slots,
                       std::size_t shiftedSlots)
{
    PhaseSpan span;
    std::size_t shifted = 0;
    for (span.end = first; span.end < needs.size(); ++span.end) {
        const KeyNeed& need = needs[span.end];
        const auto known = span.keysyms.find(need.keysym);
        const bool added = known == span.keysyms.end();
        const bool newlyShifted = need.withShift && (added || !known->second);
        if (span.keysyms.size() + added > slots || shifted + newlyShifted > shiftedSlots)
            break;
        if (added) {
            span.keysyms.emplace(need.keysym, need.withShift);
            span.inOrder.push_back(need.keysym);
        } else if (newlyShifted) {
            known->second = true;
        }
        shifted += newlyShifted;
    }
    return span;
}

}  // namespace

KeyPlan PlanKeySlots(const std::vector<KeySlot>& slots, const std::vector<KeyNeed>& needs,
                     std::vector<unsigned long> held)
{
    KeyPlan plan;
    held.resize(slots.size(), 0);
    const std::size_t shiftedSlots =
        static_cast<std::size_t>(std::count_if(slots.begin(), slots.end(), [](const KeySlot& s) { return s.shifted(); }));
    const NextUse nextUse(needs);
    plan.slotOf.resize(needs.size());

    for (std::size_t first = 0; first < needs.size();) {
        PhaseSpan span = LongestPhase(needs, first, slots.size(), shiftedSlots);
        if (span.end == first) {
            plan.phases.clear();
            plan.slotOf.clear();
            return plan;
        }

        std::vector<bool> taken(slots.size(), false);
        std::unordered_map<unsigned long, std::size_t> placed;
        // Keysyms already in place stay: first those typed with Shift, then the
        // others, as long as they leave enough Shift slots for the rest.
        std::size_t shiftedMissing = 0;
        for (const auto& [keysym, withShift] : span.keysyms)
            shiftedMissing += withShift;
        std::size_t shiftedFree = shiftedSlots;
        for (const bool keepShifted : {true, false}) {
            for (std::size_t s = 0; s < slots.size(); ++s) {
                const auto wanted = span.keysyms.find(held[s]);
                if (held[s] == 0 || wanted == span.keysyms.end() || wanted->second != keepShifted ||
                    placed.contains(held[s]) || (keepShifted && !slots[s].shifted()))
                    continue;
                if (slots[s].shifted()) {
                    if (!keepShifted && shiftedFree <= shiftedMissing)
                        continue;
                    --shiftedFree;
                }
                shiftedMissing -= keepShifted;
                placed[held[s]] = s;
                taken[s] = true;
            }
        }

        // Keysyms typed with Shift first: only half of the slots suit them.
        std::vector<unsigned long> missing;
        for (unsigned long keysym : span.inOrder)
            if (!placed.contains(keysym))
                missing.push_back(keysym);
        std::stable_partition(missing.begin(), missing.end(),
                              [&](unsigned long keysym) { return span.keysyms[keysym]; });

        KeyPhase phase{first, {}};
        for (unsigned long keysym : missing) {
            const bool needsShift = span.keysyms[keysym];
            std::size_t best = kNever;
            std::size_t bestUse = 0;
            for (std::size_t s = 0; s < slots.size(); ++s) {
                if (taken[s] || (needsShift && !slots[s].shifted()))
                    continue;
                // Furthest next use first; then a free slot before one whose
                // keysym a later text may want; then a plain level, leaving
                // Shift levels to the keysyms that need them.
                const std::size_t use = held[s] == 0 ? kNever : nextUse.From(held[s], span.end);
                const auto rank = [&](std::size_t slot) { return 2 * (held[slot] != 0) + slots[slot].shifted(); };
                const bool better = best == kNever || use > bestUse || (use == bestUse && rank(s) < rank(best));
                if (better) {
                    best = s;
                    bestUse = use;
                }
            }
            taken[best] = true;
            placed[keysym] = best;
            held[best] = keysym;
            phase.changes.push_back({best, keysym});
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
