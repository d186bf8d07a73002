#include "server/CategoryPicker.hpp"

#include "server/TUser.hpp"

#include <algorithm>

namespace zd {

void CategoryPicker::Fill(std::vector<std::string> names, const std::string& categories, bool excluded)
{
    names_ = std::move(names);
    TUser rule; // the text read as "Included"
    rule.Categories = categories;
    rule.ExcludeCategories = 0;
    ticked_.assign(names_.size(), false);
    for (std::size_t i = 0; i < names_.size(); ++i)
        ticked_[i] = IsCategoryPermitted(rule, names_[i]);
    all_ = categories.empty();
    excluded_ = excluded;
}

void CategoryPicker::SetTicked(std::size_t index, bool ticked)
{
    if (index >= ticked_.size())
        return;
    ticked_[index] = ticked;
    all_ = std::all_of(ticked_.begin(), ticked_.end(), [](bool t) { return t; });
}

void CategoryPicker::SetAllTicked(bool ticked)
{
    all_ = ticked;
    ticked_.assign(names_.size(), ticked);
}

std::string CategoryPicker::Selection() const
{
    if (all_)
        return {};
    std::string text;
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (!ticked_[i])
            continue;
        if (!text.empty())
            text += ';';
        text += names_[i];
    }
    return text;
}

} // namespace zd
