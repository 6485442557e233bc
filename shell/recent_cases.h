#pragma once
// The "recent cases" submenu of the "objects" menu: the five cases loaded or saved last (kept by
// the front end's recent-cases service), each loading its case as "load NAME" does.

#include <string>
#include <string_view>

#include "document/operations.h"
#include "platform/model/runtime.h"

namespace velmora::shell {

using document::Operations;

inline constexpr std::string_view kRecentCasesItem = "recent cases";

// Notes a case file just loaded or saved (the undo snapshot file is no case of the user's).
void noteRecentCase(platform::Runtime& rt, const std::string& path);
// Rebuilds the submenu of every main window whose entries differ from the service's list.
void refreshRecentCasesMenu(platform::Runtime& rt);
// Loads the case named by the calling submenu item.
void loadrecent(platform::Runtime& rt, const Operations& ops);

// Registers loadrecent.
void registerRecentCaseOperations(Operations& ops);

}  // namespace velmora::shell
