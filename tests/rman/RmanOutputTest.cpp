#include "rman/RmanOutput.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using namespace rman_output;

TEST(RmanOutput, RecognisesPromptsFailuresQuestionsAndLoggableLines) {
    struct Case {
        bool (*recognise)(const std::wstring&);
        std::vector<const wchar_t*> matching;
        std::vector<const wchar_t*> others;
    };
    const Case cases[] = {
        // Only at the end of the unfinished line: an echoed command or a line end follows.
        {IsPrompt,
         {L"RMAN> ", L"\rRMAN>  ", L"RMAN>\tRMAN>"},
         {L"RMAN> \r", L"", L"rman> ", L"RMAN> backup database;"}},
        {HasFailureMarker,
         {L"RMAN-00569: ==== ERROR MESSAGE STACK FOLLOWS\n", L"first\n  xRMAN-00569:y\nlast\n"},
         {L"RMAN-00569\n", L"rman-00569:\n", L"RMAN-03002: failure\n", L""}},
        {IsInputQuestion,
         {L"target database Password: ", L"Password:",
          L"Do you really want to delete the above objects (enter YES or NO)? "},
         {L"(enter YES or NO)?\r", L"", L"Password: expired", L"password: "}},
        // After other text too: Recovery Manager writes it behind the prompt of the first line.
        {IsContinuationPrompt,
         {L"RMAN> 2> ", L"2> ", L"  13>", L"RMAN> 2> 3> "},
         {L"RMAN> ", L"RMAN>", L"> ", L"a2> ", L"2> x", L"2>\r", L""}},
        {PassesLineFilter,
         {L"connected to target database: ORCL (DBID=1234)", L" ", L"RMAN>"},
         {L"", L"Recovery Manager: Release 19.0.0.0.0 - Production",
          L"Copyright (c) 1982, 2019, Oracle.", L"RMAN> connect target", L"x RMAN> "}},
    };
    for (const Case& c : cases) {
        for (const wchar_t* text : c.matching)
            EXPECT_TRUE(c.recognise(text)) << testing::PrintToString(std::wstring(text));
        for (const wchar_t* text : c.others)
            EXPECT_FALSE(c.recognise(text)) << testing::PrintToString(std::wstring(text));
    }
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
    EXPECT_EQ(L"", TargetDbid(L"(DBID=1) connected to target database: X"));
}

// The code of a message line, as the decisions on a failure test it; and the target's state, as
// each answer of a connect names it.
TEST(RmanOutput, ReadsMessageCodesAndTheTargetsState) {
    const std::map<std::wstring, std::wstring> codes = {
        {L"ORA-19602: cannot backup or copy active file", L"ORA-19602"},
        {L"  LRM-00109: could not open parameter file", L"LRM-00109"},
        {L"RMAN-03009: failure of backup command", L"RMAN-03009"},
        {L"ORA-19502: write error on file \"C:\\ORA-19602\\x.bcp\"", L"ORA-19502"},
        {L"failed: ORA-19602: cannot backup", L""},
        {L"ORA-1960: short", L""},
        {L"ORA-196022: long", L""},
        {L"ORA-19602 no colon", L""},
        {L"ora-19602: lower case", L""},
        {L"ABCDEF-19602: six letters", L""},
        {L"", L""},
    };
    for (const auto& code : codes)
        EXPECT_EQ(code.second, MessageCode(code.first)) << testing::PrintToString(code.first);

    // The state, and the database's name and DBID that the answer gives: mounted, the target
    // names its DBID too (an archived-log stream restores onto it); started, its name only.
    const struct {
        const wchar_t* line;
        TargetState state;
        const wchar_t* name;
        const wchar_t* dbid;
    } connects[] = {
        {L"connected to target database: ORCL (DBID=3619104813)", TargetState::Open, L"ORCL",
         L"3619104813"},
        {L"x\nconnected to target database: ORCL (DBID=3619104813)\r\nnext line (not started)\n",
         TargetState::Open, L"ORCL", L"3619104813"},
        {L"connected to target database: ORCL (DBID=3619104813, not open)", TargetState::Mounted,
         L"ORCL", L"3619104813"},
        {L"connected to target database: PROD1 (not mounted)\r\n", TargetState::Started, L"PROD1",
         L""},
        {L"connected to target database (not started)", TargetState::Down, L"", L""},
        {L"connected to target database: ORCL (DBID=, not open)", TargetState::Unknown, L"ORCL",
         L""},
        {L"connected to target database: ORCL (DBID=1, not opened)", TargetState::Unknown, L"ORCL",
         L""},
        {L"connected to recovery catalog database", TargetState::Unknown, L"", L""},
        {L"starting Oracle instance without parameter file (not started)", TargetState::Unknown,
         L"", L""},
    };
    for (const auto& connect : connects) {
        SCOPED_TRACE(testing::PrintToString(connect.line));
        EXPECT_EQ(connect.state, TargetStateOf(connect.line));
        EXPECT_EQ(connect.name, TargetName(connect.line));
        EXPECT_EQ(connect.dbid, TargetDbid(connect.line));
    }
}

// RMAN-06054 names the log that recovery asks for next; found among the stack's lines by its
// code only.
TEST(RmanOutput, ReadsTheArchivedLogThatRecoveryRequests) {
    const struct {
        unsigned long long thread, sequence; // 0: none requested
        std::vector<std::wstring> stack;
    } cases[] = {
        {2,
         57,
         {L"RMAN-03002: failure of recover command at 12/07/2026 11:15:44",
          L"RMAN-06054: media recovery requesting unknown archived log for thread 2 with sequence "
          L"57 and starting SCN of 1946270"}},
        {0,
         0,
         {L"RMAN-06053: unable to perform media recovery because of missing log",
          L"RMAN-06025: no backup of archived log for thread 1 with sequence 8 and starting SCN "
          L"of 10 found to restore"}},
        {0,
         0,
         {L"ORA-00283: media recovery requesting unknown archived log for thread 1 with sequence "
          L"9"}},
        {0, 0, {L"RMAN-06054: media recovery requesting unknown archived log"}},
    };
    for (const auto& c : cases) {
        unsigned long long thread = 0, sequence = 0;
        EXPECT_EQ(c.sequence != 0, RequestedArchivedLog(c.stack, thread, sequence));
        if (c.sequence != 0) {
            EXPECT_EQ(c.thread, thread);
            EXPECT_EQ(c.sequence, sequence);
        }
    }
}

// The pieces that a backup names, in order, from Recovery Manager's lines as they stand: a tag
// with blanks, a comment with commas, a handle without a tag (a control-file autobackup), and
// lines that only mention a handle.
TEST(RmanOutput, NamedPiecesAreThePathsOfPieceHandleLines) {
    const std::vector<std::pair<std::wstring, std::vector<std::wstring>>> cases = {
        {L"channel c1: finished piece 1 at 2026-12-07 11:00:00\r\n"
         L"piece handle=C:\\T\\ORCL-1-20261207-02vjvj1s_1_1.bcp tag=ZT_BACKUP_TAG comment=NONE\r\n"
         L"channel c1: starting piece 2 at 2026-12-07 11:00:01\r\n"
         L"piece handle=C:\\T\\ORCL-1-20261207-02vjvj1s_2_1.bcp tag=ZT_BACKUP_TAG comment=NONE\n",
         {L"C:\\T\\ORCL-1-20261207-02vjvj1s_1_1.bcp", L"C:\\T\\ORCL-1-20261207-02vjvj1s_2_1.bcp"}},
        {L"piece handle=C:\\A tag=B\\p tag=MY TAG WITH BLANKS comment=one, two, three\n",
         {L"C:\\A tag=B\\p"}},
        {L"piece handle=C:\\ORACLE\\C-1234-20261207-00 comment=NONE\n",
         {L"C:\\ORACLE\\C-1234-20261207-00"}},
        {L"backup piece handle=C:\\T\\x RECID=1 STAMP=2\n"
         L"channel ORA_DISK_1: piece handle=C:\\T\\y tag=T\n"
         L"Piece Name: C:\\T\\z\n",
         {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.second, NamedPieces(c.first)) << testing::PrintToString(c.first);
}

// REPORT SCHEMA's permanent data files in MB, summed; the temporary files are not among them.
TEST(RmanOutput, ReportedDataFileMegabytesSumsThePermanentDatafiles) {
    const std::wstring report =
        L"Report of database schema for database with db_unique_name ORCL\r\n\r\n"
        L"List of Permanent Datafiles\r\n===========================\r\n"
        L"File Size(MB) Tablespace           RB segs Datafile Name\r\n"
        L"---- -------- -------------------- ------- ------------------------\r\n"
        L"1    910      SYSTEM               YES     C:\\ORADATA\\SYSTEM01.DBF\r\n"
        L"3    600      SYSAUX               NO      C:\\ORADATA\\SYSAUX01.DBF\r\n"
        L"7    5        USERS                NO      C:\\ORADATA\\USERS01.DBF\r\n\r\n"
        L"List of Temporary Files\r\n=======================\r\n"
        L"File Size(MB) Tablespace           Maxsize(MB) Tempfile Name\r\n"
        L"---- -------- -------------------- ----------- --------------------\r\n"
        L"1    32       TEMP                 32767       C:\\ORADATA\\TEMP01.DBF\r\n";
    EXPECT_EQ(1515u, ReportedDataFileMegabytes(report));
    EXPECT_EQ(0u, ReportedDataFileMegabytes(L"RMAN-03002: failure of report command\r\n"));
}

TEST(RmanOutput, MasksThePasswordOfConnectLines) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"connect target system/pa$$ word@ORCL", L"connect target system/********"},
        {L"  CONNECT target sys/x as sysdba", L"  CONNECT target sys/********"},
        {L"connect\ttarget u/p/q", L"connect\ttarget u/********"},
        // Nothing to hide.
        {L"connect target system/", nullptr},
        {L"connected to target database: A/B", nullptr},
        {L"host 'copy a/b'", nullptr},
        {L"", nullptr},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.second ? c.second : c.first, MaskConnectPassword(c.first));
}

TEST(RmanOutput, LoggedLinesAreSplitAtLineFeedsFilteredAndMasked) {
    const std::vector<std::wstring> lines =
        LoggedLines(L"\r\nRecovery Manager: Release 19\r\nCopyright (c) 1982\n\nline one\r\n\r\r\n"
                    L"connect target system/manager@ORCL\nRMAN> echo\nline\rtwo\nlast piece");
    const std::vector<std::wstring> expected = {L"line one", L"connect target system/********",
                                                L"linetwo", L"last piece"};
    EXPECT_EQ(expected, lines);
}

TEST(RmanOutput, KeepsAnIncompleteUtf8SequenceForTheNextChunk) {
    // Sequences of two, three and four bytes cut at every point are in the chunking test below.
    // Invalid bytes are not held back: the conversion replaces them.
    EXPECT_EQ(2u, CompleteUtf8Length("a\x80"));
    EXPECT_EQ(5u, CompleteUtf8Length("\x80\x80\x80\x80\x80"));
    EXPECT_EQ(2u, CompleteUtf8Length("a\xff"));
}

// What the console makes of Recovery Manager's output cut into chunks of one size.
struct Transcript {
    std::vector<std::wstring> lines; // as they would reach the log
    int misplacedPrompts = 0; // prompts reported by another chunk than the one that completes the
                              // last "RMAN>" of an answer, or not reported by that one
    int failures = 0;         // chunks whose whole lines held the failure marker
    bool questionAtEnd = false;
};

// Feeds one answer: what Recovery Manager writes up to where it waits for input.
void Feed(OutputAssembler& assembler, const std::string& answer, size_t chunkSize,
          Transcript& transcript) {
    // The prompt is the last "RMAN>" of the answer: reported once, as soon as it is whole.
    const size_t last = answer.rfind("RMAN>");
    const size_t promptEnd = last == std::string::npos ? last : last + 5;
    for (size_t at = 0; at < answer.size(); at += chunkSize) {
        const OutputAssembler::Reading reading = assembler.Add(answer.substr(at, chunkSize));
        for (const std::wstring& line : LoggedLines(reading.completeLines))
            transcript.lines.push_back(line);
        if (reading.prompt != (at < promptEnd && promptEnd <= at + chunkSize))
            ++transcript.misplacedPrompts;
        transcript.failures += reading.failed ? 1 : 0;
        transcript.questionAtEnd = reading.question;
    }
}

TEST(RmanOutputAssembler, EveryChunkingGivesTheSameLinesPromptsFailuresAndQuestions) {
    const struct {
        std::vector<const char*> answers;
        std::vector<std::wstring> lines;
        int failures;
        bool questionAtEnd;
    } cases[] = {
        {{"\r\nRecovery Manager: Release 19.0.0.0.0 - Production on Sun Dec 6\r\n\r\n"
          "Copyright (c) 1982, 2019, Oracle and/or its affiliates.  All rights reserved.\r\n\r\n"
          "RMAN> ",
          "\r\nconnected to target database: ORCL (DBID=1234)\r\n\r\nRMAN> ",
          "\r\npiece handle=C:\\Temp\\B\xc3\xa4"
          "ckup \xe2\x82\xac\xf0\x9f\x98\x80\\ORCL-1.bcp\r\n\r\nRMAN> ",
          "\r\nRMAN-00571: ===========================================================\r\n"
          "RMAN-00569: =============== ERROR MESSAGE STACK FOLLOWS ===============\r\n"
          "RMAN-03002: failure of backup command\r\n\r\nRMAN> "},
         {L"connected to target database: ORCL (DBID=1234)",
          L"piece handle=C:\\Temp\\B\u00e4ckup \u20ac\U0001F600\\ORCL-1.bcp",
          L"RMAN-00571: ===========================================================",
          L"RMAN-00569: =============== ERROR MESSAGE STACK FOLLOWS ===============",
          L"RMAN-03002: failure of backup command"},
         1,
         false},
        {{"\r\nconnected\r\ntarget database Password: "}, {L"connected"}, 0, true},
    };
    for (const auto& c : cases)
        for (size_t chunkSize = 1; chunkSize <= 200; ++chunkSize) {
            OutputAssembler assembler;
            Transcript transcript;
            for (const char* answer : c.answers)
                Feed(assembler, answer, chunkSize, transcript);
            EXPECT_EQ(0, transcript.misplacedPrompts) << chunkSize;
            EXPECT_EQ(c.lines, transcript.lines) << chunkSize;
            EXPECT_EQ(c.failures, transcript.failures) << chunkSize;
            EXPECT_EQ(c.questionAtEnd, transcript.questionAtEnd) << chunkSize;
        }
}

TEST(RmanOutputAssembler, ASecondPromptOnALineIsNewAndClearForgetsEverything) {
    OutputAssembler assembler;
    EXPECT_TRUE(assembler.Add("RMAN> ").prompt);
    EXPECT_TRUE(assembler.Add("RMAN> ").prompt); // a second prompt on the same line
    EXPECT_TRUE(assembler.Add("\nRMAN> ").prompt);
    assembler.Clear();
    EXPECT_TRUE(assembler.Add("RMAN> ").prompt);
    EXPECT_EQ(L"RMAN> ", assembler.PendingLine()); // nothing from before Clear
}

} // namespace
