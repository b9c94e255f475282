#include "plugin/JobPaths.h"

#include <gtest/gtest.h>

namespace {

TEST(InstancePath, SplitsAtTheFirstBackslashAndUnescapesBothParts) {
    const wchar_t* const cases[][3] = {
        {L"OraDB19Home1\\ORCL", L"OraDB19Home1", L"ORCL"},
        {L"A%5CB\\OR%3ACL", L"A\\B", L"OR:CL"},
        {L"HOME\\", L"HOME", L""}, // trailing or further backslashes go to the SID
        {L"HOME\\ORCL\\X", L"HOME", L"ORCL\\X"}};
    for (const auto& test : cases) {
        std::wstring home, sid;
        ASSERT_TRUE(SplitInstancePath(test[0], home, sid)) << test[0];
        EXPECT_EQ(test[1], home);
        EXPECT_EQ(test[2], sid);
    }
}

// A bare home name is no instance path; a SID that would break the command lines is refused.
TEST(InstancePath, PathsWithoutASidOrWithAnUnsafeOneAreRefused) {
    std::wstring home = L"untouched", sid = L"untouched";
    for (const wchar_t* path : {L"HOME", L"", L"HOME\\OR\nCL", L"HOME\\ORCL\r",
                                L"HOME\\X';host 'calc", L"HOME\\X\" & calc & \"", L"HOME\\A\tB"})
        EXPECT_FALSE(SplitInstancePath(path, home, sid)) << path;
    EXPECT_EQ(L"untouched", home);
    EXPECT_EQ(L"untouched", sid);
    // Other characters a SID could hold in a file name pass.
    ASSERT_TRUE(SplitInstancePath(L"HOME\\DB$1#_x-y \u00e9", home, sid));
    EXPECT_EQ(L"DB$1#_x-y \u00e9", sid);
}

// The prefix is used bare; seconds past 32 bits (the year 3000) are written whole. Only such
// names are job folders, which a later job may remove.
TEST(JobFolder, NamesAreThePrefixTheSecondsAndOra) {
    EXPECT_EQ(L"C:\\Temp32503680000.ora", JobFolderName(L"C:\\Temp", 32503680000LL));
    int64_t seconds = -1;
    for (const auto& name : {std::make_pair(L"32503680000.ora", 32503680000LL),
                             std::make_pair(L"0.ORA", 0LL), std::make_pair(L"17.Ora", 17LL)}) {
        EXPECT_TRUE(ParseJobFolderName(name.first, seconds)) << name.first;
        EXPECT_EQ(name.second, seconds);
    }
    for (const wchar_t* other : {L".ora", L"12.orax", L"12ora", L"-12.ora", L"1 2.ora",
                                 L"12.ora.kept", L"x12.ora", L"1234567890123456789.ora", L""})
        EXPECT_FALSE(ParseJobFolderName(other, seconds)) << other;
}

TEST(JobFolder, AgesAreGivenInTheirLargestWholeUnit) {
    const std::pair<int64_t, const wchar_t*> ages[] = {
        {-5, L"0 seconds"},    {1, L"1 second"},   {59, L"59 seconds"}, {60, L"1 minute"},
        {3599, L"59 minutes"}, {7200, L"2 hours"}, {86400, L"1 day"},   {86400 * 400, L"400 days"}};
    for (const auto& age : ages)
        EXPECT_EQ(age.second, FormatAge(age.first)) << age.first;
}

TEST(JobFolder, OnlyDriveAndUncPrefixesAreAccepted) {
    for (const wchar_t* good : {L"C:\\Temp\\", L"c:/temp/", L"D:\\", L"\\\\server\\share\\x"})
        EXPECT_TRUE(IsAbsoluteFolderPrefix(good)) << good;
    for (const wchar_t* bad : {L"", L"temp\\", L".\\", L"..\\x", L"C:", L"C:temp", L"\\temp",
                               L"\\\\", L"\\\\\\x", L"1:\\x"})
        EXPECT_FALSE(IsAbsoluteFolderPrefix(bad)) << bad;
}

} // namespace
