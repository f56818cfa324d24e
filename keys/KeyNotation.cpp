#include "keys/KeyNotation.h"

#include "core/Utf8.h"

#include <optional>

namespace kestrun {

namespace {

class KeyNotationError {
public:
    explicit KeyNotationError(std::string message) : message(std::move(message)) {}
    std::string message;
};

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    std::vector<KeyStroke> Parse()
    {
        while (i_ < text_.size())
            Step();
        if (pending_ != 0)
            Fail(pendingAt_, "a modifier (+, ^ or %) has no key after it");
        if (!groups_.empty())
            Fail(groups_.back().openedAt, "the group opened here has no closing \")\"");
        return std::move(strokes_);
    }

private:
    struct Group {
        std::uint8_t modifiers;
        std::size_t openedAt;
    };

    [[noreturn]] void Fail(std::size_t at, const std::string& what) const
    {
        // Positions are counted in characters from 1, as the user sees them.
        std::size_t position = 1;
        for (std::size_t k = 0; k < at && k < text_.size(); ++k)
            if ((static_cast<unsigned char>(text_[k]) & 0xC0) != 0x80)
                ++position;
        throw KeyNotationError("Character " + std::to_string(position) + ": " + what + ".");
    }

    std::uint8_t Held() const
    {
        std::uint8_t held = pending_;
        for (const auto& group : groups_)
            held |= group.modifiers;
        return held;
    }

    void Emit(KeyStroke stroke, std::size_t count, std::size_t at)
    {
        if (count > kMaxKeyStrokes - strokes_.size())
            Fail(at, "the sequence is longer than " + std::to_string(kMaxKeyStrokes) + " keys");
        stroke.modifiers = Held();
        strokes_.insert(strokes_.end(), count, stroke);
        pending_ = 0;
    }

    KeyStroke CharacterStroke(char32_t c, std::size_t at) const
    {
        if (c == U'\n' || c == U'\r')
            return KeyStroke::Named(NamedKey::Enter);
        if (c == U'\t')
            return KeyStroke::Named(NamedKey::Tab);
        if (!IsTypeableCharacter(c))
            Fail(at, "control characters cannot be typed; use a braced key name instead");
        return KeyStroke::Character(c);
    }

    char32_t Decode(std::size_t& i) const
    {
        const std::size_t at = i;
        auto c = DecodeUtf8(text_, i);
        if (!c)
            Fail(at, "the text is not valid UTF-8");
        return *c;
    }

    void AddModifier(std::uint8_t modifier)
    {
        if (pending_ & modifier)
            Fail(i_, "the same modifier is given twice");
        if (pending_ == 0)
            pendingAt_ = i_;
        pending_ |= modifier;
        ++i_;
    }

    void Step()
    {
        const std::size_t at = i_;
        switch (text_[i_]) {
        case '+': AddModifier(kShift); return;
        case '^': AddModifier(kControl); return;
        case '%': AddModifier(kAlt); return;
        case '(':
            groups_.push_back({pending_, at});
            pending_ = 0;
            ++i_;
            return;
        case ')':
            if (groups_.empty())
                Fail(at, "\")\" closes no group");
            if (pending_ != 0)
                Fail(pendingAt_, "a modifier (+, ^ or %) has no key after it");
            groups_.pop_back();
            ++i_;
            return;
        case '~':
            ++i_;
            Emit(KeyStroke::Named(NamedKey::Enter), 1, at);
            return;
        case '{': Braced(); return;
        case '}': Fail(at, "\"}\" closes no brace; write {}} for the character");
        case '\r':
            ++i_;
            if (i_ < text_.size() && text_[i_] == '\n')
                ++i_;
            Emit(KeyStroke::Named(NamedKey::Enter), 1, at);
            return;
        default: {
            const char32_t c = Decode(i_);
            Emit(CharacterStroke(c, at), 1, at);
        }
        }
    }

    // "{" name-or-character [" " count] "}"; the first character after "{" may
    // itself be "}", as in "{}}".
    void Braced()
    {
        const std::size_t open = i_;
        const std::size_t start = i_ + 1;
        const std::size_t close = start < text_.size() ? text_.find('}', start + 1) : std::string_view::npos;
        if (close == std::string_view::npos) {
            if (start < text_.size() && text_[start] == '}')
                Fail(open, "\"{}\" names no key");
            Fail(open, "\"{\" has no closing \"}\"");
        }
        const std::string_view content = text_.substr(start, close - start);
        i_ = close + 1;

        // The name is a single character, or everything up to the first blank.
        std::size_t firstEnd = start;
        const char32_t first = Decode(firstEnd);
        firstEnd -= start;
        const std::size_t blank = content.find(' ', firstEnd);
        const std::string_view name = content.substr(0, blank);
        std::size_t count = 1;
        if (blank != std::string_view::npos)
            count = RepeatCount(content.substr(blank + 1), start + blank + 1);

        if (name.size() == firstEnd) {
            Emit(CharacterStroke(first, start), count, open);
            return;
        }
        NamedKey key;
        if (!LookUpKeyName(name, key))
            Fail(open, "{" + std::string(name) + "} is not a key name");
        Emit(KeyStroke::Named(key), count, open);
    }

    std::size_t RepeatCount(std::string_view digits, std::size_t at) const
    {
        if (digits.empty())
            Fail(at, "a repeat count is missing after the blank");
        std::size_t count = 0;
        for (char d : digits) {
            if (d < '0' || d > '9')
                Fail(at, "the repeat count \"" + std::string(digits) + "\" is not a whole number");
            count = count * 10 + static_cast<std::size_t>(d - '0');
            if (count > kMaxRepeatCount)
                Fail(at, "the repeat count is larger than " + std::to_string(kMaxRepeatCount));
        }
        return count;
    }

    std::string_view text_;
    std::size_t i_ = 0;
    std::uint8_t pending_ = 0;
    std::size_t pendingAt_ = 0;
    std::vector<Group> groups_;
    std::vector<KeyStroke> strokes_;
};

bool NeedsBraces(char32_t c)
{
    switch (c) {
    case U'+': case U'^': case U'%': case U'~': case U'(': case U')':
    case U'{': case U'}': case U'[': case U']':
        return true;
    default:
        return false;
    }
}

}  // namespace

KeySequence ParseKeySequence(std::string_view text)
{
    try {
        return {Parser(text).Parse(), {}};
    } catch (const KeyNotationError& error) {
        return {{}, error.message};
    }
}

std::string FormatKeySequence(const std::vector<KeyStroke>& strokes)
{
    std::string out;
    for (const auto& stroke : strokes) {
        if (stroke.modifiers & kShift) out += '+';
        if (stroke.modifiers & kControl) out += '^';
        if (stroke.modifiers & kAlt) out += '%';
        if (stroke.named) {
            out += '{';
            out += KeyName(stroke.key);
            out += '}';
        } else if (NeedsBraces(stroke.character)) {
            out += '{';
            AppendUtf8(out, stroke.character);
            out += '}';
        } else {
            AppendUtf8(out, stroke.character);
        }
    }
    return out;
}

}  // namespace kestrun
