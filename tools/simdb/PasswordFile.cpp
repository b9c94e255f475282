#include "tools/simdb/PasswordFile.h"

#include "tools/simdb/Fields.h"
#include "tools/simdb/FileIo.h"
#include "tools/simdb/Sha256.h"
#include "virid/Strings.h"

namespace simoracle {

namespace {

const char kMagic[] = "SIMORA-PASSWORDFILE-1";

std::string Verifier(const std::wstring& user, const std::wstring& password) {
    return ToHex(Sha256Of(VIRid::strings::WstrToUTF8(VIRid::strings::to_upper(user)) + "\n" +
                          VIRid::strings::WstrToUTF8(password)));
}

} // namespace

bool WritePasswordFile(const DatabaseFiles& files, const std::wstring& user,
                       const std::wstring& password) {
    Fields fields;
    fields.Add("format", std::string(kMagic));
    fields.Add("user", VIRid::strings::to_upper(user));
    fields.Add("verifier", Verifier(user, password));
    return CreateFolders(ParentFolder(files.PasswordFile())) &&
           WriteFileBytes(files.PasswordFile(), fields.FormatSealed());
}

bool CheckPassword(const DatabaseFiles& files, const std::wstring& user,
                   const std::wstring& password) {
    std::string bytes;
    Fields fields;
    return ReadFileBytes(files.PasswordFile(), bytes) && Fields::ParseSealed(bytes, fields) &&
           fields.Text("format") == kMagic &&
           fields.Wide("user") == VIRid::strings::to_upper(user) &&
           fields.Text("verifier") == Verifier(user, password);
}

} // namespace simoracle
