#pragma once

#include <functional>
#include <optional>
#include <string>

namespace zd {

// The password dialog shown modally: its caption and prompt in, the entry
// out, or nullopt when it was cancelled.
using PasswordDialog = std::function<std::optional<std::string>(const std::string& caption,
                                                                const std::string& prompt)>;

// AskMasterPassword: true at once when no master password is set;
// otherwise asks with the dialog (caption "Vornelle Voice Track Server",
// prompt "Please enter the Master Password", both translated) until the
// entry equals the master password (whole text, letter case significant),
// the entry is empty or the dialog is cancelled, and tells whether it was
// equal. No dialog at all counts as cancelled. Main thread.
bool AskMasterPassword(const std::string& masterPassword, const PasswordDialog& dialog);

} // namespace zd
