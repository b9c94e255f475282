#include "rman/RmanOutput.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace rman_output;

TEST(RmanOutput, SplitsAfterTheLastLineFeed) {
    std::wstring complete = L"old";
    std::wstring pending = L"old";
    SplitOutput(L"one\ntwo\nRMAN> ", complete, pending);
    EXPECT_EQ(L"one\ntwo\n", complete);
    EXPECT_EQ(L"RMAN> ", pending);

    SplitOutput(L"no line end", complete, pending);
    EXPECT_EQ(L"", complete);
    EXPECT_EQ(L"no line end", pending);

    SplitOutput(L"a\r\nb\n", complete, pending);
    EXPECT_EQ(L"a\r\nb\n", complete);
    EXPECT_EQ(L"", pending);

    SplitOutput(L"", complete, pending);
    EXPECT_EQ(L"", complete);
    EXPECT_EQ(L"", pending);
}

TEST(RmanOutput, RecognisesThePromptOnlyAtTheEndOfTheUnfinishedLine) {
    EXPECT_TRUE(IsPrompt(L"RMAN> "));
    EXPECT_TRUE(IsPrompt(L"RMAN>"));
    EXPECT_FALSE(IsPrompt(L"RMAN> \r")); // a line end has begun
    EXPECT_TRUE(IsPrompt(L"RMAN> RMAN> "));
    EXPECT_TRUE(IsPrompt(L"\rRMAN>  "));
    EXPECT_TRUE(IsPrompt(L"RMAN>\tRMAN>"));
    EXPECT_FALSE(IsPrompt(L"RMAN"));
    EXPECT_FALSE(IsPrompt(L"RMA"));
    EXPECT_FALSE(IsPrompt(L""));
    EXPECT_FALSE(IsPrompt(L"rman> "));
    // The prompt line growing into the echo of a command is no longer a prompt.
    EXPECT_FALSE(IsPrompt(L"RMAN> b"));
    EXPECT_FALSE(IsPrompt(L"RMAN> backup database;"));
}

TEST(RmanOutput, FindsTheFailureMarkerAnywhereInWholeLines) {
    EXPECT_TRUE(HasFailureMarker(L"RMAN-00569: =========== ERROR MESSAGE STACK FOLLOWS\n"));
    EXPECT_TRUE(HasFailureMarker(L"first\n  xRMAN-00569:y\nlast\n"));
    EXPECT_FALSE(HasFailureMarker(L"RMAN-00569\n"));
    EXPECT_FALSE(HasFailureMarker(L"rman-00569:\n"));
    EXPECT_FALSE(HasFailureMarker(L"RMAN-03002: failure\n"));
    EXPECT_FALSE(HasFailureMarker(L""));
}

TEST(RmanOutput, RecognisesQuestionsForInput) {
    EXPECT_TRUE(IsInputQuestion(L"target database Password: "));
    EXPECT_TRUE(IsInputQuestion(L"Password:"));
    EXPECT_TRUE(
        IsInputQuestion(L"Do you really want to delete the above objects (enter YES or NO)? "));
    EXPECT_TRUE(IsInputQuestion(L"(enter YES or NO)?"));
    EXPECT_FALSE(IsInputQuestion(L"(enter YES or NO)?\r"));
    EXPECT_FALSE(IsInputQuestion(L"RMAN> "));
    EXPECT_FALSE(IsInputQuestion(L""));
    EXPECT_FALSE(IsInputQuestion(L"Password: expired"));
    EXPECT_FALSE(IsInputQuestion(L"password: "));
    EXPECT_FALSE(IsInputQuestion(L"(enter YES or NO"));
}

TEST(RmanOutput, RecognisesTheContinuationPrompt) {
    for (const wchar_t* line : {L"RMAN> 2> ", L"2> ", L"  13>", L"RMAN> 2> 3> "})
        EXPECT_TRUE(IsContinuationPrompt(line));
    for (const wchar_t* line : {L"RMAN> ", L"RMAN>", L"> ", L"a2> ", L"2> x", L"2>\r", L""})
        EXPECT_FALSE(IsContinuationPrompt(line));
}

TEST(RmanOutput, ReadsTheErrorStackAndTheTargetsDbid) {
    const std::wstring output =
        L"RMAN-00571: ===========================================================\r\n"
        L"RMAN-00569: =============== ERROR MESSAGE STACK FOLLOWS ===============\r\n"
        L"RMAN-03009: failure of backup command on ORA_DISK_1 channel at 12/06/2026\r\n"
        L"  ORA-19602: cannot backup or copy active file in NOARCHIVELOG mode\r\n"
        L"LRM-00109: could not open parameter file\n"
        L"Starting backup at 12/06/2026 RMAN-1\nORA-1: short\n";
    EXPECT_EQ((std::vector<std::wstring>{
                  L"RMAN-03009: failure of backup command on ORA_DISK_1 channel at 12/06/2026",
                  L"ORA-19602: cannot backup or copy active file in NOARCHIVELOG mode",
                  L"LRM-00109: could not open parameter file"}),
              ErrorStackLines(output));
    EXPECT_EQ(L"3619104813",
              TargetDbid(L"x\nconnected to target database: ORCL (DBID=3619104813)\r\n"));
    EXPECT_EQ(L"", TargetDbid(L"connected to target database: DUMMY (not mounted)"));
    EXPECT_EQ(L"", TargetDbid(L"(DBID=1) connected to target database: X"));
}

TEST(RmanOutput, TheLineFilterDropsBannerPromptAndBlankLines) {
    EXPECT_TRUE(PassesLineFilter(L"connected to target database: ORCL (DBID=1234)"));
    EXPECT_TRUE(PassesLineFilter(L" "));
    EXPECT_TRUE(PassesLineFilter(L"RMAN>"));
    EXPECT_FALSE(PassesLineFilter(L""));
    EXPECT_FALSE(PassesLineFilter(L"Recovery Manager: Release 19.0.0.0.0 - Production"));
    EXPECT_FALSE(PassesLineFilter(L"Copyright (c) 1982, 2019, Oracle."));
    EXPECT_FALSE(PassesLineFilter(L"RMAN> connect target"));
    EXPECT_FALSE(PassesLineFilter(L"x RMAN> "));
}

TEST(RmanOutput, MasksThePasswordOfConnectLines) {
    EXPECT_EQ(L"connect target system/********",
              MaskConnectPassword(L"connect target system/manager"));
    EXPECT_EQ(L"connect target system/********",
              MaskConnectPassword(L"connect target system/pa$$ word@ORCL"));
    EXPECT_EQ(L"  CONNECT target sys/********",
              MaskConnectPassword(L"  CONNECT target sys/x as sysdba"));
    EXPECT_EQ(L"connect\ttarget u/********", MaskConnectPassword(L"connect\ttarget u/p/q"));
    // Nothing to hide.
    EXPECT_EQ(L"connect target system/", MaskConnectPassword(L"connect target system/"));
    EXPECT_EQ(L"connect target /", MaskConnectPassword(L"connect target /"));
    EXPECT_EQ(L"connect target", MaskConnectPassword(L"connect target"));
    EXPECT_EQ(L"connected to target database: A/B",
              MaskConnectPassword(L"connected to target database: A/B"));
    EXPECT_EQ(L"host 'copy a/b'", MaskConnectPassword(L"host 'copy a/b'"));
    EXPECT_EQ(L"connect", MaskConnectPassword(L"connect"));
    EXPECT_EQ(L"", MaskConnectPassword(L""));
}

TEST(RmanOutput, LoggedLinesAreSplitAtLineFeedsFilteredAndMasked) {
    const std::vector<std::wstring> lines =
        LoggedLines(L"\r\nRecovery Manager: Release 19\r\nCopyright (c) 1982\n\nline one\r\n\r\r\n"
                    L"connect target system/manager@ORCL\nRMAN> echo\nline\rtwo\nlast piece");
    const std::vector<std::wstring> expected = {L"line one", L"connect target system/********",
                                                L"linetwo", L"last piece"};
    EXPECT_EQ(expected, lines);
    EXPECT_TRUE(LoggedLines(L"").empty());
    EXPECT_TRUE(LoggedLines(L"\n\n\r\n").empty());
    EXPECT_EQ(std::vector<std::wstring>({L"a", L"b"}), LoggedLines(L"a\nb\n"));
}

TEST(RmanOutput, TheConnectCommandNamesTheIdentifierOnlyWithoutASid) {
    OracleSettings settings;
    settings.userName = L"system";
    settings.password = L"pass word";
    settings.connectIdentifier = L"ORCLNET";
    settings.oracleSid = L"ORCL";
    EXPECT_EQ(L"connect target system/pass word\n", ConnectCommand(settings));
    settings.oracleSid.clear();
    EXPECT_EQ(L"connect target system/pass word@ORCLNET\n", ConnectCommand(settings));
    settings.password.clear();
    EXPECT_EQ(L"connect target system/@ORCLNET\n", ConnectCommand(settings));
}

TEST(RmanOutput, KeepsAnIncompleteUtf8SequenceForTheNextChunk) {
    EXPECT_EQ(0u, CompleteUtf8Length(""));
    EXPECT_EQ(3u, CompleteUtf8Length("abc"));
    EXPECT_EQ(5u, CompleteUtf8Length("caf\xc3\xa9"));
    EXPECT_EQ(3u, CompleteUtf8Length("caf\xc3"));
    EXPECT_EQ(1u, CompleteUtf8Length("a\xe2\x82"));
    EXPECT_EQ(4u, CompleteUtf8Length("a\xe2\x82\xac"));
    EXPECT_EQ(1u, CompleteUtf8Length("a\xf0\x9f\x98"));
    EXPECT_EQ(5u, CompleteUtf8Length("a\xf0\x9f\x98\x80"));
    // Invalid bytes are not held back: the conversion replaces them.
    EXPECT_EQ(2u, CompleteUtf8Length("a\x80"));
    EXPECT_EQ(5u, CompleteUtf8Length("\x80\x80\x80\x80\x80"));
    EXPECT_EQ(2u, CompleteUtf8Length("a\xff"));

    // Cut anywhere, chunks converted with their carried tail give the whole text.
    const std::string whole = "path C:\\B\xc3\xa4"
                              "ckup\\\xe2\x82\xac\xf0\x9f\x98\x80.bcp";
    for (size_t cut = 0; cut <= whole.size(); ++cut) {
        std::string carried = whole.substr(0, cut);
        const size_t first = CompleteUtf8Length(carried);
        const std::string firstPart = carried.substr(0, first);
        carried.erase(0, first);
        carried += whole.substr(cut);
        EXPECT_EQ(carried.size(), CompleteUtf8Length(carried)) << cut;
        EXPECT_EQ(whole, firstPart + carried) << cut;
    }
}

} // namespace

namespace {

// What the console makes of a transcript cut into chunks of one size.
struct Transcript {
    std::vector<std::wstring> lines; // as they would reach the log
    int prompts = 0;                 // prompts reported
    int misplacedPrompts = 0; // reported by another chunk than the one that completes "RMAN>"
    int failures = 0;         // chunks whose whole lines held the failure marker
    bool promptAtEnd = false;
    bool questionAtEnd = false;
};

void Feed(rman_output::OutputAssembler& assembler, const std::string& output, size_t chunkSize,
          Transcript& transcript) {
    for (size_t at = 0; at < output.size(); at += chunkSize) {
        const rman_output::OutputAssembler::Reading reading =
            assembler.Add(output.substr(at, chunkSize));
        for (const std::wstring& line : rman_output::LoggedLines(reading.completeLines))
            transcript.lines.push_back(line);
        // The prompt is the last "RMAN>" of the answer: reported once, as soon as it is whole.
        const size_t end = at + chunkSize < output.size() ? at + chunkSize : output.size();
        const size_t promptEnd = output.rfind("RMAN>") + 5;
        transcript.prompts += reading.prompt ? 1 : 0;
        if (reading.prompt != (at < promptEnd && promptEnd <= end))
            ++transcript.misplacedPrompts;
        transcript.failures += reading.failed ? 1 : 0;
        transcript.promptAtEnd = rman_output::IsPrompt(assembler.PendingLine());
        transcript.questionAtEnd = reading.question;
    }
}

Transcript Feed(const std::string& output, size_t chunkSize) {
    rman_output::OutputAssembler assembler;
    Transcript transcript;
    Feed(assembler, output, chunkSize, transcript);
    return transcript;
}

// What Recovery Manager writes up to each prompt, where it waits for the next command.
const char* const kSession[] = {
    "\r\nRecovery Manager: Release 19.0.0.0.0 - Production on Sun Dec 6\r\n\r\n"
    "Copyright (c) 1982, 2019, Oracle and/or its affiliates.  All rights reserved.\r\n\r\n"
    "RMAN> ",
    "\r\nconnected to target database: ORCL (DBID=1234)\r\n\r\nRMAN> ",
    "\r\npiece handle=C:\\Temp\\B\xc3\xa4"
    "ckup \xe2\x82\xac\\ORCL-1.bcp\r\n\r\nRMAN> ",
    "\r\nRMAN-00571: ===========================================================\r\n"
    "RMAN-00569: =============== ERROR MESSAGE STACK FOLLOWS ===============\r\n"
    "RMAN-03002: failure of backup command\r\n\r\nRMAN> "};

TEST(RmanOutputAssembler, EveryChunkingGivesTheSameLinesPromptsAndFailures) {
    const std::vector<std::wstring> expected = {
        L"connected to target database: ORCL (DBID=1234)",
        L"piece handle=C:\\Temp\\B\u00e4ckup \u20ac\\ORCL-1.bcp",
        L"RMAN-00571: ===========================================================",
        L"RMAN-00569: =============== ERROR MESSAGE STACK FOLLOWS ===============",
        L"RMAN-03002: failure of backup command"};
    for (size_t chunkSize = 1; chunkSize <= 200; ++chunkSize) {
        rman_output::OutputAssembler assembler;
        Transcript transcript;
        for (const char* answer : kSession) {
            Feed(assembler, answer, chunkSize, transcript);
            EXPECT_TRUE(transcript.promptAtEnd) << chunkSize;
        }
        EXPECT_EQ(4, transcript.prompts) << chunkSize;
        EXPECT_EQ(0, transcript.misplacedPrompts) << chunkSize;
        EXPECT_EQ(expected, transcript.lines) << chunkSize;
        EXPECT_EQ(1, transcript.failures) << chunkSize;
        EXPECT_FALSE(transcript.questionAtEnd) << chunkSize;
    }
}

TEST(RmanOutputAssembler, ReportsEachPromptOnce) {
    rman_output::OutputAssembler assembler;
    EXPECT_FALSE(assembler.Add("\r\nRMAN").prompt);
    EXPECT_TRUE(assembler.Add(">").prompt);
    EXPECT_FALSE(assembler.Add(" ").prompt); // the same prompt, grown by its blank
    EXPECT_FALSE(assembler.Add("\r").prompt);
    EXPECT_FALSE(assembler.Add("\n").prompt);
    EXPECT_TRUE(assembler.Add("RMAN> ").prompt);
    EXPECT_TRUE(assembler.Add("RMAN> ").prompt); // a second prompt on the same line
    EXPECT_FALSE(assembler.Add("  ").prompt);
    EXPECT_TRUE(assembler.Add("\nRMAN> ").prompt);
    assembler.Clear();
    EXPECT_TRUE(assembler.Add("RMAN> ").prompt);
}

TEST(RmanOutputAssembler, APromptFollowedByTheEchoOfACommandEndsBeingThePrompt) {
    rman_output::OutputAssembler assembler;
    EXPECT_TRUE(assembler.Add("RMAN> ").prompt);
    EXPECT_FALSE(assembler.Add("b").prompt);
    EXPECT_FALSE(assembler.Add("ackup database;").prompt);
    const rman_output::OutputAssembler::Reading reading = assembler.Add("\nStarting backup\n");
    EXPECT_FALSE(reading.prompt);
    EXPECT_EQ(L"RMAN> backup database;\nStarting backup\n", reading.completeLines);
    EXPECT_EQ(L"", assembler.PendingLine());
}

TEST(RmanOutputAssembler, SeesAQuestionInAnyChunkingAndForgetsItWhenTheLineGoesOn) {
    const std::string question = "\r\nconnected\r\ntarget database Password: ";
    for (size_t chunkSize = 1; chunkSize <= question.size(); ++chunkSize)
        EXPECT_TRUE(Feed(question, chunkSize).questionAtEnd) << chunkSize;
    rman_output::OutputAssembler assembler;
    EXPECT_TRUE(assembler.Add("Do you really want to delete the above objects (enter YES or NO)? ")
                    .question);
    EXPECT_FALSE(assembler.Add("\n").question);
    EXPECT_TRUE(assembler.Add("Password: ").question);
    EXPECT_FALSE(assembler.Add("expired").question);
    EXPECT_EQ(L"Password: expired", assembler.PendingLine());
    assembler.Clear();
    EXPECT_EQ(L"", assembler.PendingLine());
}

TEST(RmanOutputAssembler, InvalidUtf8IsReplacedNotHeldBack) {
    rman_output::OutputAssembler assembler;
    const rman_output::OutputAssembler::Reading reading = assembler.Add("bad \xff\x80 byte\n");
    EXPECT_EQ(L"bad \ufffd\ufffd byte\n", reading.completeLines);
    // A sequence cut short by the line feed is not kept waiting either.
    EXPECT_EQ(L"x\ufffd\n", assembler.Add("x\xe2\x82\n").completeLines);
}

} // namespace
