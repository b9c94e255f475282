// The statement table and how a command goes through it: the keyword chooses the rule, the
// rule's parser reads the rest of the statement (a RUN block reads its statements through the
// same table), then the statement runs.
#include "tools/rman/Session.h"

namespace rmansim {

// clang-format off
const Session::StatementRule Session::kStatements[] = {
    // keyword      where             connection  parser
    {L"allocate",   Place::RunBlock,  true,       ParseAllocate},
    {L"alter",      Place::Anywhere,  true,       ParseAlterDatabase},
    {L"backup",     Place::Anywhere,  true,       ParseBackup},
    {L"catalog",    Place::Anywhere,  true,       ParseCatalog},
    {L"configure",  Place::Anywhere,  true,       ParseConfigure},
    {L"connect",    Place::Prompt,    false,      ParseConnect},
    {L"crosscheck", Place::Anywhere,  true,       ParseCrosscheck},
    {L"delete",     Place::Anywhere,  true,       ParseDelete},
    {L"exit",       Place::Prompt,    false,      ParseExit},
    {L"host",       Place::Anywhere,  false,      ParseHost},
    {L"list",       Place::Prompt,    true,       ParseList},
    {L"quit",       Place::Prompt,    false,      ParseExit},
    {L"recover",    Place::Anywhere,  true,       ParseRecover},
    {L"release",    Place::RunBlock,  true,       ParseRelease},
    {L"report",     Place::Anywhere,  true,       ParseReport},
    {L"restore",    Place::Anywhere,  true,       ParseRestore},
    {L"run",        Place::Prompt,    false,      ParseRun},
    {L"set",        Place::Prompt,    false,      ParseSetDbid},
    {L"set",        Place::RunBlock,  false,      ParseSet},
    {L"show",       Place::Anywhere,  true,       ParseShow},
    {L"shutdown",   Place::Anywhere,  true,       ParseShutdown},
    {L"startup",    Place::Anywhere,  true,       ParseStartup},
};
// clang-format on

std::wstring FailureVerb(const std::wstring& firstWord) {
    const std::wstring word = Lower(firstWord);
    if (word == L"alter")
        return L"alter db";
    return word.empty() ? L"unknown" : word;
}

void Session::Execute(const std::wstring& command) {
    const std::vector<Token> tokens = Tokenize(command);
    TokenCursor words(command, tokens);
    out_.Write(L"\n");
    failed_ = false;
    skipPieceWrites_ = false;
    dieMidway_ = false;
    if (ApplyFaults(command, FailureVerb(words.Peek())))
        RunCommand(words);
    WriteErrorStacks();
}

// At the prompt the connection is checked before the statement's words are read.
void Session::RunCommand(TokenCursor& words) {
    Statement statement;
    statement.text = words.StatementText();
    statement.verb = FailureVerb(words.Peek());
    const StatementRule* rule = ReadKeyword(words, Place::Prompt);
    if (rule == nullptr) {
        KeywordError(words);
        return;
    }
    if (rule->needsConnection && !RequireConnection(statement.verb))
        return;
    if (!ReadRest(*rule, words, statement)) {
        SyntaxError(words.Found());
        return;
    }
    statement.run(*this, statement);
}

const Session::StatementRule* Session::ReadKeyword(TokenCursor& words, Place place) {
    for (const StatementRule& rule : kStatements) {
        const bool allowed = rule.place == Place::Anywhere || rule.place == place;
        if (allowed && words.Accept(rule.keyword))
            return &rule;
    }
    return nullptr;
}

bool Session::ReadRest(const StatementRule& rule, TokenCursor& words, Statement& statement) {
    statement.needsConnection = rule.needsConnection;
    return rule.parse(words, statement.run) && words.AtEnd();
}

bool Session::ReadStatement(TokenCursor& words, Place place, Statement& statement) {
    statement.text = words.StatementText();
    statement.verb = FailureVerb(words.Peek());
    const StatementRule* rule = ReadKeyword(words, place);
    return rule != nullptr && ReadRest(*rule, words, statement);
}

// ALLOCATE CHANNEL at the prompt is read as ALLOCATE CHANNEL FOR MAINTENANCE, which wants "for"
// where the channel's name stands.
void Session::KeywordError(const TokenCursor& words) {
    TokenCursor after = words;
    std::wstring name;
    if (after.Accept(L"allocate") && after.Accept(L"channel") && after.AcceptAny(name) &&
        Lower(name) != L"for") {
        ErrorStack({L"RMAN-00558: error encountered while parsing input commands",
                    L"RMAN-01009: syntax error: found \"identifier\": expecting one of: \"for\"",
                    L"RMAN-01008: the bad identifier was: " + name,
                    L"RMAN-01007: at line 1 column 1 file: standard input"});
        return;
    }
    SyntaxError(words.Found());
}

// RUN { statement; ... } with at least one statement.
bool Session::ParseRun(TokenCursor& words, Action& action) {
    if (!words.Accept(L"{"))
        return false;
    std::vector<Statement> statements;
    do {
        Statement statement;
        if (!ReadStatement(words, Place::RunBlock, statement) || !words.AcceptStatementEnd())
            return false;
        statements.push_back(statement);
    } while (!words.Accept(L"}"));
    action = [statements](Session& session, const Statement&) { session.RunBlock(statements); };
    return true;
}

// The statements run in turn up to the first that fails; the block's channels are released at
// its end in any case, and what it set is forgotten.
void Session::RunBlock(const std::vector<Statement>& statements) {
    for (size_t i = 0; i < statements.size(); ++i) {
        if (i > 0)
            out_.Write(L"\n");
        if (!RunInBlock(statements[i]))
            break;
    }
    ReleaseBlockChannels();
    blockUntil_ = UntilClause();
}

// The test faults apply to each statement of a block as to a command.
bool Session::RunInBlock(const Statement& statement) {
    const bool skippingForBlock = skipPieceWrites_;
    const bool runs = ApplyFaults(statement.text, statement.verb) &&
                      (!statement.needsConnection || RequireConnection(statement.verb));
    if (runs)
        statement.run(*this, statement);
    skipPieceWrites_ = skippingForBlock;
    return runs && !failed_;
}

} // namespace rmansim
