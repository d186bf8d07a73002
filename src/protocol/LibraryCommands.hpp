#pragma once

#include "protocol/Session.hpp"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zd {

// The "Categories" reply: four lines joined by CR LF (the permitted music
// categories joined by ",", the spot categories joined by ",", scheduler
// value 5, scheduler value 4), names in UTF-8. Never throws apart from
// allocation.
std::string CategoriesReply(const std::vector<std::string>& categories, const std::vector<std::string>& spots,
                            const std::function<bool(const std::string&)>& permitted, std::int32_t value5,
                            std::int32_t value4);

// "Categories": the user's permitted categories (the account read on the
// main thread). Throws SocketError when the connection fails.
void HandleCategories(Session& session, std::string_view argument);

// "Search=": the library search of the request; "0" when nothing matched or
// the user may not search that category. Throws SocketError when the
// connection fails.
void HandleSearch(Session& session, std::string_view argument);

} // namespace zd
