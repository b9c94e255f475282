// The mark that keeps two jobs off one Oracle instance, across every process of the machine: two
// jobs on one instance would delete each other's tagged pieces, or restore over a backup in
// progress.
#pragma once

#include "plugin/MachineMark.h"

#include <memory>
#include <string>

// The mark of the instance sid of the Oracle home homeDir; null as MachineMark::Acquire says
// (and when the home's path cannot be made full). The instance is named by the home's canonical
// full path (GetFullPathNameW, case-folded, without a separator at its end) and the SID
// (case-folded), so that every registration of one home ("C:\app\HOME", "c:\APP\.\home\") names
// the same instance.
std::shared_ptr<MachineMark> AcquireInstanceMark(const std::wstring& homeDir,
                                                 const std::wstring& sid, bool& busy);
