#include "rman/LogDeletion.h"

#include "rman/RmanOutput.h"
#include "virid/Strings.h"

#include <sstream>

namespace {

// The number after key (up to the next blank) in line; false when key is not there.
bool NumberAfter(const std::wstring& line, const std::wstring& key, unsigned long long& number) {
    const size_t at = line.find(key);
    if (at == std::wstring::npos)
        return false;
    const size_t start = at + key.size();
    return VIRid::strings::ParseDecimal(line.substr(start, line.find(L' ', start) - start), number);
}

} // namespace

LogDeletion ReadLogDeletion(const std::wstring& output) {
    LogDeletion deletion;
    std::vector<std::wstring> messages; // not yet tied to a log
    std::wistringstream lines(output);
    std::wstring line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        const std::vector<std::wstring> message = rman_output::ErrorStackLines(line);
        KeptLog kept;
        unsigned long long count = 0;
        if (!message.empty()) {
            messages.push_back(message.front());
        } else if (line.compare(0, 23, L"archived log file name=") == 0 &&
                   NumberAfter(line, L" thread=", kept.thread) &&
                   NumberAfter(line, L" sequence=", kept.sequence) && !messages.empty()) {
            kept.reason = VIRid::strings::Join(messages, L"; ");
            deletion.kept.push_back(kept);
            messages.clear();
        } else if (NumberAfter(line, L"Deleted ", count) &&
                   line.find(L" objects") != std::wstring::npos) {
            deletion.deleted += count;
        }
    }
    deletion.otherMessages = messages;
    return deletion;
}

std::wstring DescribeKeptLogs(const std::vector<KeptLog>& kept) {
    std::vector<std::wstring> groups;
    std::vector<bool> told(kept.size(), false);
    for (size_t i = 0; i < kept.size(); ++i) {
        if (told[i])
            continue;
        std::vector<std::wstring> sequences;
        for (size_t j = i; j < kept.size(); ++j)
            if (!told[j] && kept[j].reason == kept[i].reason) {
                told[j] = true;
                sequences.push_back(std::to_wstring(kept[j].sequence));
            }
        const std::wstring last = sequences.back();
        const bool several = sequences.size() > 1;
        sequences.pop_back();
        groups.push_back((several
                              ? L"sequences " + VIRid::strings::Join(sequences, L", ") + L" and "
                              : std::wstring(L"sequence ")) +
                         last + L": " + kept[i].reason);
    }
    return VIRid::strings::Join(groups, L"; ");
}
