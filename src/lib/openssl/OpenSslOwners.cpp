#include "lib/openssl/OpenSslOwners.hpp"

#include <openssl/err.h>

namespace zd {

std::string OpenSslErrorText(const std::string& what)
{
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0)
        return what;
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return what + ": " + text;
}

} // namespace zd
