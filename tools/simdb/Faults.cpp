#include "tools/simdb/Faults.h"

#include "tools/simdb/Fields.h"
#include "tools/simdb/FileIo.h"
#include "virid/Strings.h"

#include <cwctype>

namespace simoracle {

namespace {

const FaultKind kKinds[] = {FaultKind::Fail,         FaultKind::Stderr,   FaultKind::Die,
                            FaultKind::Hang,         FaultKind::Slow,     FaultKind::NoPiece,
                            FaultKind::RefuseDelete, FaultKind::DieMidway};

} // namespace

const CommandFault* FaultSet::Find(FaultKind kind, const std::wstring& normalisedCommand) const {
    for (const CommandFault& fault : commandFaults)
        if (fault.kind == kind && PatternMatches(fault.pattern, normalisedCommand))
            return &fault;
    return nullptr;
}

FaultSet LoadFaults(const DatabaseFiles& files) {
    FaultSet faults;
    std::string bytes;
    Fields fields;
    if (!ReadFileBytes(files.FaultFile(), bytes) || !Fields::Parse(bytes, fields))
        return faults;
    faults.trickle = fields.Text("trickle") == "1";
    // "kind|pattern", then each line of the text after a tab (a normalised pattern has none).
    for (const std::string& line : fields.All("fault")) {
        const size_t bar = line.find('|');
        CommandFault fault;
        if (bar == std::string::npos ||
            !ParseFaultKind(VIRid::strings::UTF8toWstr(line.substr(0, bar)), fault.kind))
            continue;
        const std::vector<std::string> parts = SplitText(line.substr(bar + 1), '\t');
        fault.pattern = VIRid::strings::UTF8toWstr(parts.front());
        for (size_t i = 1; i < parts.size(); ++i)
            fault.text.push_back(VIRid::strings::UTF8toWstr(parts[i]));
        faults.commandFaults.push_back(fault);
    }
    return faults;
}

bool SaveFaults(const DatabaseFiles& files, const FaultSet& faults) {
    if (!FolderExists(files.DataFolder()))
        return false;
    Fields fields;
    fields.Add("trickle", faults.trickle ? 1ULL : 0ULL);
    for (const CommandFault& fault : faults.commandFaults) {
        std::wstring value = std::wstring(FaultKindName(fault.kind)) + L"|" + fault.pattern;
        for (const std::wstring& line : fault.text)
            value += L"\t" + line;
        fields.Add("fault", value);
    }
    return WriteFileBytes(files.FaultFile(), fields.Format());
}

std::wstring NormaliseCommand(const std::wstring& command) {
    std::wstring normalised;
    bool blank = false;
    for (wchar_t c : command) {
        if (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n') {
            blank = !normalised.empty();
            continue;
        }
        if (blank)
            normalised += L' ';
        blank = false;
        normalised += static_cast<wchar_t>(std::towlower(c));
    }
    while (!normalised.empty() && (normalised.back() == L';' || normalised.back() == L' '))
        normalised.pop_back();
    return normalised;
}

bool PatternMatches(const std::wstring& pattern, const std::wstring& normalisedCommand) {
    const std::wstring normalisedPattern = NormaliseCommand(pattern);
    if (!normalisedPattern.empty() && normalisedPattern.back() == L'*') {
        const std::wstring prefix = normalisedPattern.substr(0, normalisedPattern.size() - 1);
        return normalisedCommand.compare(0, prefix.size(), prefix) == 0;
    }
    return normalisedPattern == normalisedCommand;
}

const wchar_t* FaultKindName(FaultKind kind) {
    switch (kind) {
    case FaultKind::Fail:
        return L"fail";
    case FaultKind::Stderr:
        return L"stderr";
    case FaultKind::Die:
        return L"die";
    case FaultKind::Hang:
        return L"hang";
    case FaultKind::Slow:
        return L"slow";
    case FaultKind::NoPiece:
        return L"nopiece";
    case FaultKind::DieMidway:
        return L"die-midway";
    case FaultKind::RefuseDelete:
        break;
    }
    return L"refuse-delete";
}

bool ParseFaultKind(const std::wstring& name, FaultKind& kind) {
    for (FaultKind candidate : kKinds)
        if (name == FaultKindName(candidate)) {
            kind = candidate;
            return true;
        }
    return false;
}

bool AddFault(const std::wstring& homeDir, const std::wstring& sid, FaultKind kind,
              const std::wstring& command, std::wstring& error,
              const std::vector<std::wstring>& text) {
    const DatabaseFiles files(homeDir, sid);
    FaultSet faults = LoadFaults(files);
    CommandFault fault{kind, NormaliseCommand(command), {}};
    // One stored line per text line: tabs and line ends would split or end it.
    for (std::wstring line : text) {
        for (wchar_t& c : line)
            if (c == L'\t' || c == L'\r' || c == L'\n')
                c = L' ';
        fault.text.push_back(line);
    }
    faults.commandFaults.push_back(fault);
    if (!SaveFaults(files, faults)) {
        error = L"cannot store the fault for " + sid + L" (is the database created?)";
        return false;
    }
    return true;
}

bool SetTrickle(const std::wstring& homeDir, const std::wstring& sid, bool oneByteAtATime,
                std::wstring& error) {
    const DatabaseFiles files(homeDir, sid);
    FaultSet faults = LoadFaults(files);
    faults.trickle = oneByteAtATime;
    if (!SaveFaults(files, faults)) {
        error = L"cannot store the fault for " + sid + L" (is the database created?)";
        return false;
    }
    return true;
}

bool ClearFaults(const std::wstring& homeDir, const std::wstring& sid, std::wstring& error) {
    if (!SaveFaults(DatabaseFiles(homeDir, sid), FaultSet())) {
        error = L"cannot clear the faults of " + sid + L" (is the database created?)";
        return false;
    }
    return true;
}

} // namespace simoracle
