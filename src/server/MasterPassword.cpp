#include "server/MasterPassword.hpp"

#include "common/Translate.hpp"

namespace zd {

bool AskMasterPassword(const std::string& masterPassword, const PasswordDialog& dialog)
{
    if (masterPassword.empty())
        return true;
    if (!dialog)
        return false;
    const std::string caption = Tr("Vornelle Voice Track Server");
    const std::string prompt = Tr("Please enter the Master Password");
    for (;;) {
        const std::optional<std::string> entry = dialog(caption, prompt);
        if (!entry || entry->empty())
            return false;
        if (*entry == masterPassword)
            return true;
    }
}

} // namespace zd
