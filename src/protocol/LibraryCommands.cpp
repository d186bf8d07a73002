#include "protocol/LibraryCommands.hpp"

#include "common/CodePage.hpp"
#include "common/DateTime.hpp"
#include "common/MarkedText.hpp"
#include "common/Translate.hpp"
#include "net/Connection.hpp"
#include "scheduler/LibrarySearch.hpp"
#include "scheduler/SchedulerSettings.hpp"
#include "scheduler/SharedFiles.hpp"
#include "server/MainForm.hpp"
#include "server/TContextData.hpp"
#include "server/TUser.hpp"

#include <algorithm>

namespace zd {
namespace {

std::string JoinUtf8(const std::vector<std::string>& names)
{
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i > 0 ? "," : "") + MarkedToUtf8(names[i]);
    return text;
}

// A category name as "Categories.dat" lists it, without its quotes, in the
// form compared without regard to letter case.
std::u16string CategoryKey(std::string_view name)
{
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        name = name.substr(1, name.size() - 2);
    return WideLower(MarkedToWide(name));
}

} // namespace

std::string CategoriesReply(const std::vector<std::string>& categories, const std::vector<std::string>& spots,
                            const std::function<bool(const std::string&)>& permitted, std::int32_t value5,
                            std::int32_t value4)
{
    std::vector<std::string> allowed;
    std::copy_if(categories.begin(), categories.end(), std::back_inserter(allowed), permitted);
    return JoinUtf8(allowed) + "\r\n" + JoinUtf8(spots) + "\r\n" + std::to_string(value5) + "\r\n"
        + std::to_string(value4);
}

void HandleCategories(Session& session, std::string_view)
{
    const auto user = session.context.User;
    if (!user)
        return;
    const auto scheduler = CurrentSchedulerSettings();
    const std::vector<std::string> categories = ReadCategoryNames(false);
    const std::vector<std::string> spots = ReadCategoryNames(true);
    const std::string reply = session.form.RunOnMainThread([&] {
        return CategoriesReply(categories, spots, [&](const std::string& name) { return IsCategoryPermitted(*user, name); },
                               scheduler->Value5, scheduler->Value4);
    });
    session.connection.WriteLine(reply);
}

void HandleSearch(Session& session, std::string_view argument)
{
    const auto user = session.context.User;
    if (!user)
        return;
    const auto scheduler = CurrentSchedulerSettings();
    // The music categories this user may not search, decided once on the
    // main thread, where the operator may be editing the account.
    const std::vector<std::string> categories = ReadCategoryNames(false);
    const auto [login, forbidden] = session.form.RunOnMainThread([&] {
        std::vector<std::u16string> keys;
        for (const auto& name : categories)
            if (!IsCategoryPermitted(*user, name))
                keys.push_back(CategoryKey(name));
        return std::pair(user->Login, keys);
    });

    MainForm& form = session.form;
    SearchEnvironment environment;
    environment.DataFolder = scheduler->DataFolder;
    environment.SeparationMinutes = scheduler->Value5;
    environment.Now = NowLocal();
    environment.Log = [&form](const std::string& line) { form.LogEvent(line); };
    environment.MaySearch = [&](const std::string& database) {
        if (std::find(forbidden.begin(), forbidden.end(), CategoryKey(database)) == forbidden.end())
            return true;
        form.LogEvent(TrFormat("User %0:s may not search the category %1:s", {login, database}));
        return false;
    };
    const SearchResult result = SearchLibrary(ParseSearchRequest(argument), environment);
    session.connection.Write(SearchReply(result));
}

} // namespace zd
