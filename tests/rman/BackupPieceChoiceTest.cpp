#include "rman/BackupPieceChoice.h"

#include <gtest/gtest.h>

namespace {

TEST(BackupPieceChoice, ExtensionIsTheTemplatesLastDotOnward) {
    EXPECT_EQ(L".controlfile", TemplateExtension(L"%d-%I-%T-%U.controlfile"));
    EXPECT_EQ(L".archlog", TemplateExtension(L"a.b.archlog"));
    EXPECT_EQ(L"", TemplateExtension(L"%d-%I-%T-%U"));
    EXPECT_EQ(L"", TemplateExtension(L"piece.%U")); // no literal name can match a variable
}

TEST(BackupPieceChoice, TheNewestFileWithTheExtensionWinsWhateverTheCase) {
    const std::vector<FolderFile> files = {
        {L"ORCL-1-20261206-01.bcp", 50},         {L"ORCL-1-20261206-02.controlfile", 10},
        {L"ORCL-1-20261206-03.controlfile", 30}, {L"ORCL-1-20261206-04.spfile", 40},
        {L"ORCL-1-20261206-05.controlfile", 20}, {L"tnsnames.ora", 60}};
    EXPECT_EQ(L"ORCL-1-20261206-03.controlfile", NewestFileWithExtension(files, L".controlfile"));
    EXPECT_EQ(L"", NewestFileWithExtension(files, L"")); // no extension chooses nothing
    // Ties go to the greater name.
    EXPECT_EQ(L"c.ControlFile",
              NewestFileWithExtension(
                  {{L"A.CONTROLFILE", 7}, {L"c.ControlFile", 7}, {L"b.controlfile", 7}},
                  L".controlfile"));
    const std::vector<FolderFile> unmatched = {
        {L"a.bcp", 1}, {L"b.controlfile.bak", 2}, {L".controlfile", 3}, {L"controlfile", 4}};
    EXPECT_EQ(L"", NewestFileWithExtension(unmatched, L".controlfile"));
}

} // namespace
