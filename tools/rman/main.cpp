// rman.exe: a stand-in for Oracle's Recovery Manager console, as seen through its standard
// streams, working on the simulated database of ORACLE_HOME and ORACLE_SID.
#include "tools/rman/CommandReader.h"
#include "tools/rman/ConsoleIo.h"
#include "tools/rman/Session.h"
#include "tools/simdb/FileIo.h"

#include <windows.h>

namespace {

std::wstring Environment(const wchar_t* name) {
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0)
        return std::wstring();
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name, &value[0], size));
    return value;
}

} // namespace

int wmain() {
    std::wstring home = Environment(L"ORACLE_HOME");
    // Without ORACLE_HOME the home is the one this program was installed in (<home>\bin).
    if (home.empty())
        home = simoracle::ParentFolder(simoracle::ProgramFolder());
    rmansim::Output output;
    rmansim::Input input;
    rmansim::CommandReader reader(input, output);
    rmansim::Session session(output, reader, home, Environment(L"ORACLE_SID"));
    session.Begin();
    std::wstring command;
    for (;;) {
        output.Write(L"\nRMAN> ");
        if (!reader.Next(command))
            break;
        session.Execute(command);
        if (session.Exiting())
            return 0;
    }
    output.Write(L"\n\nRecovery Manager complete.\n");
    return 0;
}
