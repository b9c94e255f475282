// The words of Recovery Manager's statements: keywords and names (letter case ignored), strings in
// single or double quotes, and the punctuation ';', '{', '}' and '='. Blanks, tabs and line ends
// only separate words, so a statement may span lines.
#pragma once

#include <string>
#include <vector>

namespace rmansim {

struct Token {
    std::wstring text; // quoted strings without their quotes
    bool quoted = false;
    size_t offset = 0; // where the token starts in the command
};

// Splits a command into tokens. Words break at blanks, quotes and punctuation; an unterminated
// quote runs to the end.
std::vector<Token> Tokenize(const std::wstring& command);

// A cursor over the tokens of a command; a statement's words end at the end of the command or at
// the ';' after them.
class TokenCursor {
public:
    TokenCursor(const std::wstring& command, const std::vector<Token>& tokens)
        : command_(command), tokens_(tokens), position_(0) {}

    // True at the end of the statement: no token left, or the ';' that ends it.
    bool AtEnd() const;
    // True and advance when the next token is that keyword (unquoted).
    bool Accept(const wchar_t* keyword);
    // True and advance when the next tokens are these keywords, separated by blanks in words.
    bool AcceptAll(const wchar_t* keywords);
    // True, advance and deliver the text when the next token is a quoted string.
    bool AcceptQuoted(std::wstring& text);
    // True, advance and deliver the text of the next token of the statement, quoted or not.
    bool AcceptAny(std::wstring& text);
    // True, advance and deliver the bytes when the next token is a size (see ParseSize).
    bool AcceptSize(unsigned long long& bytes);
    // True and advance past the ';' that ends a statement.
    bool AcceptStatementEnd();
    // The next token's text; empty at the end of the command.
    std::wstring Peek() const;
    // What a syntax error names as found: the next token, or ";" at the end.
    std::wstring Found() const;
    // The statement from the next token on, as typed, without the ';' that ends it.
    std::wstring StatementText() const;

private:
    const std::wstring& command_;
    const std::vector<Token>& tokens_;
    size_t position_;
};

// A number of decimal digits only (no sign, no blank), saturated at the largest value.
bool ParseNumber(const std::wstring& text, unsigned long long& number);
// A size as Recovery Manager writes it: a number of bytes, or of kilobytes, megabytes or
// gigabytes with the suffix K, M or G (either case), as in 64K, 1024M, 2G.
bool ParseSize(const std::wstring& text, unsigned long long& bytes);

std::wstring Lower(const std::wstring& text);
std::wstring Upper(const std::wstring& text);

} // namespace rmansim
