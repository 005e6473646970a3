#include "netlist/token_patterns.h"
#include "netlist/spice_messages.h"

#include <cmath>

#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"

namespace kq5 {

namespace {

constexpr int kMsgExpecting = 11900;
constexpr int kMsgExpectingFound = 11902;
constexpr int kMsgExtraText = 11903;

enum class TokenKind { End, Word, Punctuation, Conversion, Value };

struct PatternToken {
    TokenKind kind = TokenKind::End;
    std::size_t start = 0;
    std::size_t end = 0;
};

bool StartsValue(std::string_view s, std::size_t at)
{
    const char c = s[at];
    if (HasCharClass(c, kCharDigit) || c == '.' || c == '{') return true;
    if ((c == '+' || c == '-') && at + 1 < s.size())
        return HasCharClass(s[at + 1], kCharDigit) || s[at + 1] == '.' || s[at + 1] == '{';
    return false;
}

// The end of a value token: a braced group, or a number with its suffix and unit letters.
std::size_t ValueEnd(std::string_view s, std::size_t at)
{
    if (s[at] == '+' || s[at] == '-') ++at;
    if (at < s.size() && s[at] == '{') {
        int depth = 0;
        for (std::size_t i = at; i < s.size(); ++i) {
            if (s[i] == '{') ++depth;
            if (s[i] == '}' && --depth == 0) return i + 1;
        }
        return s.size();
    }
    std::size_t i = at;
    while (i < s.size()) {
        const char c = s[i];
        if (HasCharClass(c, kCharAlnum) || c == '.' || c == '_') {
            ++i;
            continue;
        }
        // An exponent sign: 1E-3, 2.5e+6.
        if ((c == '+' || c == '-') && i > at && (s[i - 1] == 'E' || s[i - 1] == 'e') && i >= at + 2 &&
            (HasCharClass(s[i - 2], kCharDigit) || s[i - 2] == '.')) {
            ++i;
            continue;
        }
        break;
    }
    return i;
}

PatternToken NextPatternToken(std::string_view s, std::size_t at)
{
    while (at < s.size() && HasCharClass(s[at], kCharSpace)) ++at;
    PatternToken token;
    token.start = token.end = at;
    if (at >= s.size() || s[at] == ';') return token;
    const char c = s[at];
    if (HasCharClass(c, kCharIdentStart)) {
        std::size_t end = at;
        while (end < s.size() && HasCharClass(s[end], kCharIdent)) ++end;
        token.kind = TokenKind::Word;
        token.end = end;
    } else if (c == '%' && at + 1 < s.size()) {
        token.kind = TokenKind::Conversion;
        token.end = at + 2;
    } else if (StartsValue(s, at)) {
        token.kind = TokenKind::Value;
        token.end = ValueEnd(s, at);
    } else {
        token.kind = TokenKind::Punctuation;
        token.end = at + 1;
    }
    return token;
}

std::string_view TextOf(std::string_view s, const PatternToken& token)
{
    return s.substr(token.start, token.end - token.start);
}

// Evaluates a value token (a braced group loses its braces); false when it is no value.
bool EvaluateValue(std::string_view token, double& value)
{
    std::string_view inner = token;
    std::string signedGroup;
    if (!inner.empty() && (inner.front() == '+' || inner.front() == '-') && inner.size() > 1 && inner[1] == '{') {
        signedGroup = std::string(1, inner.front()) + "(" + std::string(inner.substr(2, inner.size() - 3)) + ")";
        inner = signedGroup;
    } else if (inner.size() >= 2 && inner.front() == '{' && inner.back() == '}') {
        inner = inner.substr(1, inner.size() - 2);
    }
    int error = 0;
    value = EvalNumberOrExpression(inner, error);
    return error == 0;
}

void Store(const PatternOutput& output, char conversion, double value, bool keywordFlag)
{
    switch (conversion) {
        case 'g':
            if (output.number) *output.number = value;
            break;
        case 'f':
            if (output.single) *output.single = static_cast<float>(ClampToFloatRange(value));
            if (output.number && !output.single) *output.number = value;
            break;
        case 't':
            if (output.number) *output.number = value;
            if (output.given) *output.given = 1;
            break;
        case 'd':
            if (output.integer) *output.integer = keywordFlag ? 1 : RoundToInt(value);
            break;
        default: break;
    }
}

class PatternMatcher {
  public:
    PatternMatcher(const SchematicItem* component, std::string_view text, std::string_view pattern,
                   std::span<const PatternOutput> outputs)
        : component_(component), text_(text), pattern_(pattern), outputs_(outputs)
    {
    }

    int Run();

  private:
    void AdvanceText() { textToken_ = NextPatternToken(text_, textToken_.end); }
    void AdvancePattern()
    {
        previous_ = patternToken_;
        patternToken_ = NextPatternToken(pattern_, patternToken_.end);
    }
    bool PatternIs(char c) const
    {
        return patternToken_.kind == TokenKind::Punctuation && pattern_[patternToken_.start] == c;
    }
    bool PreviousWasOpen() const
    {
        return previous_.kind == TokenKind::Punctuation && pattern_[previous_.start] == '[';
    }
    const PatternOutput* Output() const { return out_ < outputs_.size() ? &outputs_[out_] : nullptr; }
    void Restart();
    // Skips the pattern to the ']' that closes the current item, counting the outputs passed.
    void SkipRestOfItem();
    int Fail(int id, std::string_view first, std::string_view second = {});

    const SchematicItem* component_;
    std::string_view text_;
    std::string_view pattern_;
    std::span<const PatternOutput> outputs_;
    PatternToken textToken_;
    PatternToken patternToken_;
    PatternToken previous_;
    bool inGroup_ = false;
    std::size_t groupPattern_ = 0;
    std::size_t groupOutput_ = 0;
    int depth_ = 0;
    bool valueMatched_ = false;
    bool keywordMatched_ = false;
    std::size_t out_ = 0;
    int repeatedRestarts_ = 0;
    std::size_t lastRestartText_ = static_cast<std::size_t>(-1);
    bool stop_ = false;
};

int PatternMatcher::Fail(int id, std::string_view first, std::string_view second)
{
    if (id == kMsgExpecting)
        ReportPartMessage(component_, id, std::string(first));
    else
        ReportPartMessage(component_, id, std::string(first), std::string(second));
    return kMsgAlreadyReported;
}

void PatternMatcher::Restart()
{
    if (textToken_.start == lastRestartText_) {
        if (++repeatedRestarts_ > 2) stop_ = true;
    } else {
        lastRestartText_ = textToken_.start;
        repeatedRestarts_ = 0;
    }
    previous_ = PatternToken{TokenKind::Punctuation, groupPattern_ - 1, groupPattern_};
    patternToken_ = NextPatternToken(pattern_, groupPattern_);
    out_ = groupOutput_;
    depth_ = 0;
    valueMatched_ = false;
    keywordMatched_ = false;
}

void PatternMatcher::SkipRestOfItem()
{
    int level = 0;
    while (patternToken_.kind != TokenKind::End) {
        if (PatternIs('[')) {
            ++level;
        } else if (PatternIs(']')) {
            if (level == 0) return;
            --level;
        } else if (patternToken_.kind == TokenKind::Conversion && pattern_[patternToken_.start + 1] != '*') {
            ++out_;
        }
        AdvancePattern();
    }
}

int PatternMatcher::Run()
{
    textToken_ = NextPatternToken(text_, 0);
    patternToken_ = NextPatternToken(pattern_, 0);
    while (!stop_ && textToken_.kind != TokenKind::End && patternToken_.kind != TokenKind::End) {
        const std::string_view patternText = TextOf(pattern_, patternToken_);
        const std::string_view textText = TextOf(text_, textToken_);
        if (PatternIs('<')) {
            inGroup_ = true;
            groupPattern_ = patternToken_.end;
            groupOutput_ = out_;
            AdvancePattern();
        } else if (PatternIs('>')) {
            inGroup_ = false;
            AdvancePattern();
        } else if (PatternIs('[')) {
            ++depth_;
            valueMatched_ = false;
            AdvancePattern();
        } else if (PatternIs(']')) {
            --depth_;
            const bool restart = valueMatched_ && inGroup_ && depth_ <= 0;
            AdvancePattern();
            if (restart) Restart();
        } else if (patternToken_.kind == TokenKind::Conversion) {
            const char conversion = pattern_[patternToken_.start + 1];
            if (conversion == '*') {
                AdvanceText();
                AdvancePattern();
                continue;
            }
            double value = 0.0;
            const bool punctuation = textToken_.kind == TokenKind::Punctuation;
            const bool absent = punctuation || (inGroup_ && textToken_.kind == TokenKind::Word);
            if (absent) {
                const bool itemHadValue = valueMatched_ && depth_ > 0;
                ++out_;
                AdvancePattern();
                if (itemHadValue || (inGroup_ && !punctuation)) SkipRestOfItem();
                continue;
            }
            if (!EvaluateValue(textText, value)) {
                if (!inGroup_) return Fail(kMsgExpectingFound, "<value>", textText);
                ++out_;
                AdvancePattern();
                SkipRestOfItem();
                continue;
            }
            if (const PatternOutput* output = Output()) Store(*output, conversion, value, false);
            ++out_;
            valueMatched_ = true;
            AdvanceText();
            AdvancePattern();
        } else if (patternToken_.kind == TokenKind::Punctuation && (PatternIs('=') || PatternIs(','))) {
            if (!keywordMatched_) {
                AdvancePattern();
                continue;
            }
            const char separator = pattern_[patternToken_.start];
            if (!textText.empty() && textText.front() == separator) {
                AdvanceText();
                AdvancePattern();
                continue;
            }
            if (!PreviousWasOpen()) return Fail(kMsgExpectingFound, std::string(1, separator), textText);
            keywordMatched_ = false;
            if (inGroup_) {
                Restart();
            } else {
                AdvancePattern();
                SkipRestOfItem();
            }
        } else if (patternToken_.kind == TokenKind::Word) {
            if (textToken_.kind == TokenKind::Word && EqualsNoCase(textText, patternText)) {
                AdvanceText();
                AdvancePattern();
                keywordMatched_ = true;
                if (patternToken_.kind == TokenKind::Conversion && pattern_[patternToken_.start + 1] == 'd') {
                    if (const PatternOutput* output = Output()) Store(*output, 'd', 1.0, true);
                    ++out_;
                    AdvancePattern();
                    if (inGroup_) Restart();
                }
                continue;
            }
            if (PreviousWasOpen()) {
                SkipRestOfItem();
                continue;
            }
            return Fail(kMsgExpectingFound, patternText, textText);
        } else {
            // Any other pattern character must stand in the text as it is.
            if (textText == patternText) AdvanceText();
            AdvancePattern();
        }
    }
    if (textToken_.kind != TokenKind::End) return Fail(kMsgExtraText, TextOf(text_, textToken_));
    // What is left of the pattern must be optional.
    int level = 0;
    while (patternToken_.kind != TokenKind::End) {
        if (inGroup_ || PatternIs('<')) {
            while (patternToken_.kind != TokenKind::End && !PatternIs('>')) AdvancePattern();
            inGroup_ = false;
            if (patternToken_.kind != TokenKind::End) AdvancePattern();
            continue;
        }
        if (PatternIs('[')) {
            ++level;
        } else if (PatternIs(']')) {
            if (level > 0) --level;
        } else if (level == 0 && depth_ <= 0) {
            return Fail(kMsgExpecting, TextOf(pattern_, patternToken_));
        }
        if (PatternIs(']') && depth_ > 0) --depth_;
        AdvancePattern();
    }
    return 0;
}

}  // namespace

int MatchTokenPattern(const SchematicItem* component, std::string_view text, std::string_view pattern,
                      std::span<const PatternOutput> outputs)
{
    return PatternMatcher(component, text, pattern, outputs).Run();
}

}  // namespace kq5
