#include "tools/simdb/Instance.h"

#include "tools/simdb/Fields.h"
#include "tools/simdb/FileIo.h"

namespace simoracle {

InstanceState LoadInstance(const DatabaseFiles& files) {
    InstanceState instance;
    std::string bytes;
    Fields fields;
    if (!ReadFileBytes(files.InstanceFile(), bytes) || !Fields::Parse(bytes, fields)) {
        instance.cleanShutdown = false;
        return instance;
    }
    const std::string state = fields.Text("state");
    if (state == "started")
        instance.state = DatabaseState::Started;
    else if (state == "mounted")
        instance.state = DatabaseState::Mounted;
    else if (state == "open")
        instance.state = DatabaseState::Open;
    instance.cleanShutdown = fields.Text("clean_shutdown") == "1";
    instance.standIn = instance.state == DatabaseState::Started && fields.Text("stand_in") == "1";
    return instance;
}

bool SaveInstance(const DatabaseFiles& files, const InstanceState& instance) {
    Fields fields;
    fields.Add("state", std::wstring(StateName(instance.state)));
    fields.Add("clean_shutdown", instance.cleanShutdown ? 1ULL : 0ULL);
    fields.Add("stand_in", instance.standIn ? 1ULL : 0ULL);
    return WriteFileBytes(files.InstanceFile(), fields.Format());
}

double LoadWriteRate(const DatabaseFiles& files) {
    std::string bytes;
    Fields fields;
    if (!ReadFileBytes(files.WriteRateFile(), bytes) || !Fields::Parse(bytes, fields))
        return 0;
    return static_cast<double>(fields.Number("kilobytes_per_second")) / 1000.0;
}

bool SaveWriteRate(const DatabaseFiles& files, double megabytesPerSecond) {
    Fields fields;
    fields.Add("kilobytes_per_second",
               static_cast<unsigned long long>(megabytesPerSecond * 1000.0 + 0.5));
    return WriteFileBytes(files.WriteRateFile(), fields.Format());
}

const wchar_t* StateName(DatabaseState state) {
    switch (state) {
    case DatabaseState::Started:
        return L"started";
    case DatabaseState::Mounted:
        return L"mounted";
    case DatabaseState::Open:
        return L"open";
    case DatabaseState::Down:
        break;
    }
    return L"down";
}

} // namespace simoracle
