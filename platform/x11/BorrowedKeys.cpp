#include "platform/x11/BorrowedKeys.h"

#include "platform/PlatformError.h"
#include "platform/x11/XErrorTrap.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace kestrun {

namespace {

struct FreeKeyboard {
    void operator()(XkbDescPtr xkb) const { XkbFreeKeyboard(xkb, 0, True); }
};
using XkbMap = std::unique_ptr<XkbDescRec, FreeKeyboard>;

XkbMap FetchMap(Display* display)
{
    XkbMap xkb(XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd));
    if (!xkb)
        throw PlatformError("Cannot read the keyboard map.");
    return xkb;
}

// The core protocol shows a one-group key as group 1's first two levels, the
// same again as group 2, then the further levels of both groups.
std::vector<KeySym> CoreView(const std::vector<KeySym>& syms, std::size_t width)
{
    std::vector<KeySym> core{syms[0], syms[1], syms[0], syms[1]};
    for (std::size_t copy = 0; copy < 2; ++copy)
        for (std::size_t level = 2; level < syms.size(); ++level)
            core.push_back(syms[level]);
    core.resize(std::max(core.size(), width), NoSymbol);
    core.resize(width);
    return core;
}

void PutSyms(XkbDescPtr xkb, KeyCode code, const XkbSymMapRec& entry, const std::vector<KeySym>& syms)
{
    KeySym* place = XkbResizeKeySyms(xkb, code, static_cast<int>(syms.size()));
    if (!place)
        throw PlatformError("Out of memory for the keyboard map.");
    std::copy(syms.begin(), syms.end(), place);
    XkbSymMapRec& target = xkb->map->key_sym_map[code];
    std::copy(std::begin(entry.kt_index), std::end(entry.kt_index), std::begin(target.kt_index));
    target.group_info = entry.group_info;
    target.width = entry.width;
}

}  // namespace

BorrowedKeys::~BorrowedKeys() = default;

std::vector<KeyCode> BorrowedKeys::Codes() const
{
    std::vector<KeyCode> codes;
    for (const auto& [code, borrowed] : codes_)
        codes.push_back(code);
    return codes;
}

std::vector<unsigned long> BorrowedKeys::Held() const
{
    std::vector<unsigned long> held;
    for (const KeySlot& slot : slots_) {
        const auto borrowed = codes_.find(slot.code);
        held.push_back(borrowed == codes_.end() ? NoSymbol : borrowed->second.syms[slot.level]);
    }
    return held;
}

void BorrowedKeys::Prepare(const XkbKeyMap& map, const std::set<KeySym>& needed)
{
    type_ = map.BorrowKeyType();
    if (type_.index < 0)
        throw PlatformError("The keyboard map has no key type for borrowed key codes.");
    const XkbMap xkb = FetchMap(display_);
    for (auto it = codes_.begin(); it != codes_.end();) {
        it->second.syms.resize(type_.levelModifiers.size(), NoSymbol);
        it = StillOurs(xkb.get(), it->first, it->second) ? std::next(it) : codes_.erase(it);
    }
    std::vector<KeyCode> candidates = Codes();
    for (KeyCode code : map.BorrowableCodes(needed))
        if (!codes_.contains(code))
            candidates.push_back(code);
    candidates = Ungrabbed(candidates);
    coreBefore_.clear();
    ReadCore(coreBefore_, candidates);

    slots_.clear();
    for (KeyCode code : candidates)
        for (std::size_t level = 0; level < type_.levelModifiers.size(); ++level)
            slots_.push_back({code, static_cast<int>(level)});
}

bool BorrowedKeys::StillOurs(XkbDescPtr xkb, KeyCode code, const Code& borrowed) const
{
    const XkbSymMapRec& entry = xkb->map->key_sym_map[code];
    if (XkbNumGroups(entry.group_info) != 1 || entry.kt_index[0] != type_.index ||
        XkbKeyNumSyms(xkb, code) != static_cast<int>(borrowed.syms.size()))
        return false;
    return std::equal(borrowed.syms.begin(), borrowed.syms.end(), XkbKeySymsPtr(xkb, code));
}

// Another client's grab on a code would take the keys typed there: a probe
// grab on the root window with any modifiers fails with BadAccess on those.
std::vector<KeyCode> BorrowedKeys::Ungrabbed(const std::vector<KeyCode>& candidates)
{
    const Window root = DefaultRootWindow(display_);
    XErrorTrap trap;
    std::vector<unsigned long> serials;
    for (KeyCode code : candidates) {
        serials.push_back(NextRequest(display_));
        XGrabKey(display_, code, AnyModifier, root, False, GrabModeAsync, GrabModeAsync);
    }
    XSync(display_, False);
    std::vector<KeyCode> free;
    for (std::size_t k = 0; k < candidates.size(); ++k) {
        if (trap.Failed(serials[k]))
            continue;
        XUngrabKey(display_, candidates[k], AnyModifier, root);
        free.push_back(candidates[k]);
    }
    XSync(display_, False);
    return free;
}

void BorrowedKeys::ReadCore(std::map<KeyCode, std::vector<KeySym>>& into, const std::vector<KeyCode>& codes)
{
    if (codes.empty())
        return;
    const auto [low, high] = std::minmax_element(codes.begin(), codes.end());
    int width = 0;
    KeySym* core = XGetKeyboardMapping(display_, *low, *high - *low + 1, &width);
    if (!core)
        throw PlatformError("Cannot read the keyboard map.");
    for (KeyCode code : codes) {
        const KeySym* row = core + static_cast<std::size_t>(code - *low) * width;
        into[code].assign(row, row + width);
    }
    XFree(core);
}

std::vector<BorrowedCode> BorrowedKeys::ForGuard() const
{
    std::vector<BorrowedCode> codes;
    for (const auto& [code, borrowed] : codes_) {
        const std::size_t width = std::max(borrowed.originalCore.size(), borrowed.core.size());
        BorrowedCode entry{code, borrowed.originalCore, borrowed.core};
        entry.original.resize(width, NoSymbol);
        entry.borrowed.resize(width, NoSymbol);
        codes.push_back(std::move(entry));
    }
    return codes;
}

void BorrowedKeys::Send(XkbDescPtr xkb, KeyCode first, KeyCode last)
{
    XkbMapChangesRec changes;
    std::memset(&changes, 0, sizeof changes);
    changes.changed = XkbKeySymsMask;
    changes.first_key_sym = first;
    changes.num_key_syms = static_cast<unsigned char>(last - first + 1);
    XErrorTrap trap;
    XkbChangeMap(display_, xkb, &changes);
    XSync(display_, False);
    ++mappingChanges_;
    if (!trap.errors().empty())
        throw PlatformError("The X server refused to change the keyboard map.");
}

void BorrowedKeys::Apply(const std::vector<SlotChange>& changes)
{
    if (changes.empty())
        return;
    const XkbMap xkb = FetchMap(display_);
    XkbSymMapRec entry{};
    entry.kt_index[0] = static_cast<unsigned char>(type_.index);
    entry.group_info = XkbSetGroupInfo(1, XkbWrapIntoRange, 0);
    entry.width = static_cast<unsigned char>(type_.levelModifiers.size());

    std::set<KeyCode> changed;
    for (const SlotChange& change : changes) {
        const KeySlot& slot = slots_[change.slot];
        auto [it, added] = codes_.try_emplace(slot.code);
        Code& borrowed = it->second;
        if (added) {
            borrowed.original = xkb->map->key_sym_map[slot.code];
            const KeySym* syms = XkbKeySymsPtr(xkb.get(), slot.code);
            borrowed.originalSyms.assign(syms, syms + XkbKeyNumSyms(xkb.get(), slot.code));
            borrowed.originalCore = coreBefore_[slot.code];
            borrowed.syms.assign(entry.width, NoSymbol);
        }
        borrowed.syms[slot.level] = change.keysym;
        changed.insert(slot.code);
    }
    for (KeyCode code : changed) {
        Code& borrowed = codes_[code];
        PutSyms(xkb.get(), code, entry, borrowed.syms);
        borrowed.core = CoreView(borrowed.syms, borrowed.originalCore.size());
    }
    guard_.Borrowing(ForGuard());
    Send(xkb.get(), *changed.begin(), *changed.rbegin());

    // The guard must know exactly what the codes hold, to tell them from a
    // layout loaded later.
    std::map<KeyCode, std::vector<KeySym>> now;
    ReadCore(now, {changed.begin(), changed.end()});
    bool differs = false;
    for (KeyCode code : changed) {
        differs = differs || now[code] != codes_[code].core;
        codes_[code].core = now[code];
    }
    if (differs)
        guard_.Borrowing(ForGuard());
}

void BorrowedKeys::Restore()
{
    slots_.clear();
    if (codes_.empty())
        return;
    const XkbMap xkb = FetchMap(display_);
    std::vector<KeyCode> ours;
    for (const auto& [code, borrowed] : codes_) {
        if (!StillOurs(xkb.get(), code, borrowed))
            continue;
        PutSyms(xkb.get(), code, borrowed.original, borrowed.originalSyms);
        ours.push_back(code);
    }
    if (!ours.empty())
        Send(xkb.get(), ours.front(), ours.back());
    codes_.clear();
    guard_.Restored();
}

}  // namespace kestrun
