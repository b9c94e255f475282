// The words of one Recovery Manager command: keywords and names, and quoted strings.
#pragma once

#include <string>
#include <vector>

namespace rmansim {

struct Token {
    std::wstring text; // quoted strings without their quotes
    bool quoted = false;
};

// Splits a command (its ';' and anything after it are dropped). Words break at blanks, quotes,
// '=' and ';'; an unterminated quote runs to the end.
std::vector<Token> Tokenize(const std::wstring& command);

// A cursor over the tokens with keyword tests that ignore letter case.
class TokenCursor {
public:
    explicit TokenCursor(const std::vector<Token>& tokens) : tokens_(tokens), position_(0) {}

    bool AtEnd() const { return position_ >= tokens_.size(); }
    // True and advance when the next token is that keyword (unquoted).
    bool Accept(const wchar_t* keyword);
    // True and advance when the next tokens are these keywords, separated by blanks in words.
    bool AcceptAll(const wchar_t* keywords);
    // True, advance and deliver the text when the next token is a quoted string.
    bool AcceptQuoted(std::wstring& text);
    // True, advance and deliver the text of any next token.
    bool AcceptAny(std::wstring& text);
    // The next token's text (for error messages); empty at the end.
    std::wstring Peek() const;

private:
    const std::vector<Token>& tokens_;
    size_t position_;
};

std::wstring Lower(const std::wstring& text);
std::wstring Upper(const std::wstring& text);

} // namespace rmansim
