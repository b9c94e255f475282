#include "tools/rman/Tokens.h"

#include <cwctype>

namespace rmansim {

std::vector<Token> Tokenize(const std::wstring& command) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < command.size()) {
        const wchar_t c = command[i];
        if (std::iswspace(c)) {
            ++i;
        } else if (c == L';') {
            break;
        } else if (c == L'\'' || c == L'"') {
            const size_t close = command.find(c, i + 1);
            Token token;
            token.quoted = true;
            token.text = command.substr(i + 1, close == std::wstring::npos ? std::wstring::npos
                                                                           : close - i - 1);
            tokens.push_back(token);
            i = close == std::wstring::npos ? command.size() : close + 1;
        } else if (c == L'=') {
            tokens.push_back(Token{L"=", false});
            ++i;
        } else {
            size_t end = i;
            while (end < command.size() && !std::iswspace(command[end]) && command[end] != L';' &&
                   command[end] != L'\'' && command[end] != L'"' && command[end] != L'=')
                ++end;
            tokens.push_back(Token{command.substr(i, end - i), false});
            i = end;
        }
    }
    return tokens;
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

std::wstring TokenCursor::Peek() const {
    return AtEnd() ? std::wstring() : tokens_[position_].text;
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
