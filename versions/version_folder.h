// The folder that holds one version's clients, beside the launcher. Folders are
// only ever created here, never removed: a version folder outlives the launcher.
#pragma once

#include <string>

// Creates the single folder base/name (missing parents are not made). True when
// it was created or an entry of that name already exists, folder or file alike;
// false for any other failure (no permission, no parent).
bool CreateVersionFolder(const std::string& base, const std::string& name);
