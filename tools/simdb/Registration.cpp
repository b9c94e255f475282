// Homes and instances registered as an Oracle installer registers them.
#include "tools/simdb/SimOracle.h"

#include "tools/simdb/FileIo.h"
#include "tools/simdb/Layout.h"
#include "tools/simdb/NewDatabase.h"
#include "tools/simdb/Registry.h"
#include "virid/FileSystem.h"
#include "virid/Strings.h"

#include <windows.h>

#include <cwctype>

namespace simoracle {

namespace {

std::wstring HomeKey(const std::wstring& name) {
    return std::wstring(kOracleKey) + L"\\KEY_" + name;
}

std::wstring ServiceKey(const std::wstring& sid) {
    return std::wstring(kServicesKey) + L"\\OracleService" + sid;
}

bool WriteTextFile(const std::wstring& path, const std::string& text) {
    return WriteFileBytes(path, text);
}

bool ValidName(const std::wstring& name) {
    if (name.empty() || name.size() > 30)
        return false;
    for (wchar_t c : name)
        if (!(iswalnum(c) || c == L'_' || c == L'-' || c == L'.'))
            return false;
    return true;
}

} // namespace

std::wstring FindHome(const std::wstring& name, std::wstring& error) {
    std::wstring dir;
    if (!ReadRegistryString(HomeKey(name), L"ORACLE_HOME", dir) || dir.empty()) {
        error = L"Oracle home " + name + L" is not registered";
        return std::wstring();
    }
    return dir;
}

std::wstring FindHomeOfInstance(const std::wstring& sid, std::wstring& error) {
    std::wstring imagePath;
    if (!ReadRegistryString(ServiceKey(sid), L"ImagePath", imagePath)) {
        error = L"no service OracleService" + sid + L" is registered";
        return std::wstring();
    }
    const std::wstring home = HomeFromImagePath(imagePath);
    if (home.empty())
        error = L"the service OracleService" + sid + L" names no Oracle home: " + imagePath;
    return home;
}

bool CreateHome(const std::wstring& name, const std::wstring& dir, std::wstring& error) {
    if (!ValidName(name)) {
        error = L"invalid home name: " + name;
        return false;
    }
    const std::wstring home = DatabaseFiles(dir, L"").Home();
    const std::wstring source = ProgramFolder() + L"\\rman.exe";
    const std::wstring admin = home + L"\\network\\ADMIN";
    if (!CreateFolders(home + L"\\bin") || !CreateFolders(admin) ||
        !CreateFolders(home + L"\\database")) {
        error = L"cannot create the folders of " + home + L": " + LastErrorText();
        return false;
    }
    if (!CopyFileW(source.c_str(), (home + L"\\bin\\rman.exe").c_str(), FALSE)) {
        error = L"cannot copy " + source + L" into " + home + L"\\bin: " + LastErrorText();
        return false;
    }
    const std::string nameText = VIRid::strings::WstrToUTF8(name);
    if (!WriteTextFile(admin + L"\\tnsnames.ora",
                       "# tnsnames.ora Network Configuration File of home " + nameText + "\r\n") ||
        !WriteTextFile(admin + L"\\listener.ora",
                       "# listener.ora Network Configuration File of home " + nameText +
                           "\r\nLISTENER =\r\n  (DESCRIPTION_LIST =\r\n    (DESCRIPTION =\r\n"
                           "      (ADDRESS = (PROTOCOL = TCP)(HOST = localhost)(PORT = 1521))\r\n"
                           "    )\r\n  )\r\n") ||
        !WriteTextFile(admin + L"\\sqlnet.ora",
                       "# sqlnet.ora Network Configuration File of home " + nameText +
                           "\r\nSQLNET.AUTHENTICATION_SERVICES= (NTS)\r\n"
                           "NAMES.DIRECTORY_PATH= (TNSNAMES, EZCONNECT)\r\n")) {
        error = L"cannot write the network files under " + admin + L": " + LastErrorText();
        return false;
    }
    if (!WriteRegistryString(HomeKey(name), L"ORACLE_HOME_NAME", name) ||
        !WriteRegistryString(HomeKey(name), L"ORACLE_HOME", home)) {
        error = L"cannot register the home under HKEY_LOCAL_MACHINE\\" + HomeKey(name);
        return false;
    }
    return true;
}

bool RemoveHome(const std::wstring& name, std::wstring& error) {
    const std::wstring home = FindHome(name, error);
    if (home.empty())
        return false;
    const std::wstring upperHome = VIRid::strings::to_upper(home);
    for (const std::wstring& service : RegistrySubKeys(kServicesKey)) {
        if (service.compare(0, 13, L"OracleService") != 0)
            continue;
        std::wstring imagePath;
        const std::wstring key = std::wstring(kServicesKey) + L"\\" + service;
        if (ReadRegistryString(key, L"ImagePath", imagePath) &&
            VIRid::strings::to_upper(HomeFromImagePath(imagePath)) == upperHome)
            DeleteRegistryKey(key);
    }
    if (!DeleteRegistryKey(HomeKey(name))) {
        error = L"cannot remove HKEY_LOCAL_MACHINE\\" + HomeKey(name);
        return false;
    }
    if (FolderExists(home) && !VIRid::filesystem::DeleteNonEmptyFolder(home)) {
        error = L"cannot remove everything under " + home;
        return false;
    }
    return true;
}

bool CreateInstance(const std::wstring& homeName, const std::wstring& sid,
                    const InstanceOptions& options, std::wstring& error) {
    const std::wstring home = FindHome(homeName, error);
    if (home.empty())
        return false;
    if (!ValidName(sid)) {
        error = L"invalid SID: " + sid;
        return false;
    }
    if (options.sizeMb == 0 || options.sizeMb > 65536) {
        error = L"the database size must be 1 to 65536 MB";
        return false;
    }
    const DatabaseFiles files(home, sid);
    if (!CreateDatabase(files, options, error))
        return false;
    if (!WriteRegistryString(ServiceKey(sid), L"ImagePath", home + L"\\bin\\ORACLE.EXE " + sid)) {
        error = L"cannot register the service OracleService" + sid;
        return false;
    }
    return true;
}

} // namespace simoracle
