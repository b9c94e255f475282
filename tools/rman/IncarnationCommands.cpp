// Incarnations: a new one at every open with RESETLOGS, and LIST INCARNATION.
#include "tools/rman/Session.h"

#include "tools/rman/Clock.h"
#include "tools/rman/Table.h"
#include "tools/simdb/Clock.h"
#include "tools/simdb/FileIo.h"

#include <algorithm>
#include <cwchar>

namespace rmansim {

namespace {

// The branch numbers that archived logs on disk carry (ARC<sequence>_<branch>.ARC).
unsigned HighestBranchOnDisk(const simoracle::DatabaseFiles& files) {
    unsigned highest = 0;
    for (const std::wstring& name : simoracle::ListFolder(files.ArchiveFolder(), false)) {
        const size_t separator = name.rfind(L'_');
        if (separator != std::wstring::npos)
            highest = std::max(highest, static_cast<unsigned>(std::wcstoul(
                                            name.c_str() + separator + 1, nullptr, 10)));
    }
    return highest;
}

} // namespace

void Session::BeginIncarnation(simoracle::ControlFile& controlFile) {
    // A control file restored from an older backup does not know the branches that began after
    // it: the new branch takes a number that no log on disk carries, so that logs of another
    // branch are never taken for its own.
    unsigned branch = std::max(controlFile.resetlogsId, HighestBranchOnDisk(files_));
    unsigned key = 0;
    for (const simoracle::Incarnation& incarnation : controlFile.incarnations) {
        branch = std::max(branch, incarnation.resetlogsId);
        key = std::max(key, incarnation.key);
    }
    simoracle::Incarnation next;
    next.key = key + 1;
    next.resetlogsId = branch + 1;
    next.resetScn = controlFile.NextScn();
    next.resetTime = simoracle::Timestamp();
    controlFile.incarnations.push_back(next);
    controlFile.resetlogsId = next.resetlogsId;
    controlFile.currentSequence = 1;
    controlFile.currentLowScn = next.resetScn;
    controlFile.currentLowTime = next.resetTime;
    controlFile.restoredFromBackup = false;
    controlFile.resetlogsRequired = false;
}

void Session::ListIncarnations() {
    simoracle::ControlFile controlFile;
    if (!LoadRepository(controlFile, L"list"))
        return;
    const std::vector<Column> columns = {{L"DB Key", 7},
                                         {L"Inc Key", 7},
                                         {L"DB Name", 8},
                                         {L"DB ID", 16},
                                         {L"STATUS", 7},
                                         {L"Reset SCN", 10},
                                         {L"Reset Time", ShownNow().size()}};
    out_.Line(L"\nList of Database Incarnations");
    out_.Line(TableHeader(columns));
    for (const simoracle::Incarnation& incarnation : controlFile.incarnations) {
        const bool current = incarnation.resetlogsId == controlFile.resetlogsId;
        out_.Line(TableRow(
            columns, {L"1", std::to_wstring(incarnation.key), controlFile.dbName,
                      std::to_wstring(controlFile.dbid), current ? L"CURRENT" : L"PARENT",
                      std::to_wstring(incarnation.resetScn), ShownDate(incarnation.resetTime)}));
    }
    out_.Line(L"");
}

} // namespace rmansim
