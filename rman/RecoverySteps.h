// The steps that restores of both kinds of stream share: cataloguing the job folder, and the
// recovery with what follows it (see RunRestore). Internal to the restore procedures.
#pragma once

#include "rman/RmanProcedures.h"

// Crosscheck, deletion of the records of the tag on a first attempt (records of earlier pieces
// under it would compete with the folder's; after a failed attempt they are this folder's own),
// then the catalogue of the folder. False, with the reason, when the catalogue failed.
[[nodiscard]] bool CatalogJobFolder(RmanWrapper& rman, const OracleSettings& settings,
                                    bool firstAttempt);
// Recovers the mounted database to the settings' point (or as far as the logs go), then opens it
// or leaves it mounted as openAfterRestore asks; the records of the folder's pieces go once the
// job is done. Failed, with the reason, when the database stays mounted against the settings.
[[nodiscard]] RestoreOutcome RecoverAndOpen(RmanWrapper& rman, const OracleSettings& settings,
                                            const RestoreStream& stream);
// The restore of an archived-log stream onto the connected target: refused unless a restore left
// it mounted, then catalogued and recovered.
[[nodiscard]] RestoreOutcome RestoreArchivedLogStream(RmanWrapper& rman,
                                                      const OracleSettings& settings,
                                                      const RestoreStream& stream,
                                                      bool firstAttempt);
