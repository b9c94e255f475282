#include "tools/rman/Tokens.h"

#include <cwctype>
#include <limits>

namespace rmansim {

namespace {

bool IsPunctuation(wchar_t c) {
    return c == L';' || c == L'{' || c == L'}' || c == L'=';
}

bool EndsWord(wchar_t c) {
    return std::iswspace(c) || IsPunctuation(c) || c == L'\'' || c == L'"';
}

bool IsStatementEnd(const Token& token) {
    return !token.quoted && token.text == L";";
}

} // namespace

std::vector<Token> Tokenize(const std::wstring& command) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < command.size()) {
        const wchar_t c = command[i];
        if (std::iswspace(c)) {
            ++i;
        } else if (c == L'\'' || c == L'"') {
            const size_t close = command.find(c, i + 1);
            const size_t end = close == std::wstring::npos ? command.size() : close;
            tokens.push_back(Token{command.substr(i + 1, end - i - 1), true, i});
            i = close == std::wstring::npos ? command.size() : close + 1;
        } else if (IsPunctuation(c)) {
            tokens.push_back(Token{std::wstring(1, c), false, i});
            ++i;
        } else {
            size_t end = i;
            while (end < command.size() && !EndsWord(command[end]))
                ++end;
            tokens.push_back(Token{command.substr(i, end - i), false, i});
            i = end;
        }
    }
    return tokens;
}

bool TokenCursor::AtEnd() const {
    return position_ >= tokens_.size() || IsStatementEnd(tokens_[position_]);
}

bool TokenCursor::Accept(const wchar_t* keyword) {
    if (AtEnd() || tokens_[position_].quoted || Lower(tokens_[position_].text) != keyword)
        return false;
    ++position_;
    return true;
}

bool TokenCursor::AcceptAll(const wchar_t* keywords) {
    const size_t start = position_;
    const std::wstring all = keywords;
    size_t from = 0;
    while (from < all.size()) {
        size_t blank = all.find(L' ', from);
        if (blank == std::wstring::npos)
            blank = all.size();
        if (!Accept(all.substr(from, blank - from).c_str())) {
            position_ = start;
            return false;
        }
        from = blank + 1;
    }
    return true;
}

bool TokenCursor::AcceptQuoted(std::wstring& text) {
    if (AtEnd() || !tokens_[position_].quoted)
        return false;
    text = tokens_[position_++].text;
    return true;
}

bool TokenCursor::AcceptAny(std::wstring& text) {
    if (AtEnd())
        return false;
    text = tokens_[position_++].text;
    return true;
}

bool TokenCursor::AcceptSize(unsigned long long& bytes) {
    if (AtEnd() || tokens_[position_].quoted || !ParseSize(tokens_[position_].text, bytes))
        return false;
    ++position_;
    return true;
}

bool TokenCursor::AcceptStatementEnd() {
    if (position_ >= tokens_.size() || !IsStatementEnd(tokens_[position_]))
        return false;
    ++position_;
    return true;
}

std::wstring TokenCursor::Peek() const {
    return position_ >= tokens_.size() ? std::wstring() : tokens_[position_].text;
}

std::wstring TokenCursor::Found() const {
    const std::wstring next = Peek();
    return next.empty() ? L";" : next;
}

std::wstring TokenCursor::StatementText() const {
    if (position_ >= tokens_.size())
        return std::wstring();
    size_t end = position_;
    while (end < tokens_.size() && !IsStatementEnd(tokens_[end]))
        ++end;
    const size_t begin = tokens_[position_].offset;
    return command_.substr(begin,
                           (end < tokens_.size() ? tokens_[end].offset : command_.size()) - begin);
}

bool ParseNumber(const std::wstring& text, unsigned long long& number) {
    if (text.empty() || text.find_first_not_of(L"0123456789") != std::wstring::npos)
        return false;
    const unsigned long long largest = std::numeric_limits<unsigned long long>::max();
    number = 0;
    for (wchar_t digit : text) {
        const unsigned value = static_cast<unsigned>(digit - L'0');
        number = number > (largest - value) / 10 ? largest : number * 10 + value;
    }
    return true;
}

bool ParseSize(const std::wstring& text, unsigned long long& bytes) {
    const std::wstring suffixes = L"KMG";
    const size_t suffix = text.empty()
                              ? std::wstring::npos
                              : suffixes.find(static_cast<wchar_t>(std::towupper(text.back())));
    const std::wstring digits =
        suffix == std::wstring::npos ? text : text.substr(0, text.size() - 1);
    if (!ParseNumber(digits, bytes))
        return false;
    for (size_t i = 0; suffix != std::wstring::npos && i <= suffix; ++i)
        bytes = bytes > (~0ULL >> 10) ? ~0ULL : bytes << 10;
    return true;
}

std::wstring Lower(const std::wstring& text) {
    std::wstring lower = text;
    for (wchar_t& c : lower)
        c = static_cast<wchar_t>(std::towlower(c));
    return lower;
}

std::wstring Upper(const std::wstring& text) {
    std::wstring upper = text;
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(std::towupper(c));
    return upper;
}

} // namespace rmansim
