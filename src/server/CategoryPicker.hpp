#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zd {

// The category picker ("Permitted Search Categories") as an object: the
// music category names with a tick each, "Select All", and the choice
// "Included"/"Excluded". The dialog binds to it. Main thread.
class CategoryPicker {
public:
    // Names and the current Categories text (8-bit, names separated by
    // ";"): every name is ticked that the text permits when read as
    // "Included" (with an empty text, all of them); "Select All" is ticked
    // exactly when the text is empty. The choice is set to `excluded`.
    void Fill(std::vector<std::string> names, const std::string& categories, bool excluded);

    const std::vector<std::string>& Names() const noexcept { return names_; }
    bool Ticked(std::size_t index) const noexcept { return index < ticked_.size() && ticked_[index]; }
    bool AllTicked() const noexcept { return all_; }
    bool Excluded() const noexcept { return excluded_; }

    // A name ticked or unticked: "Select All" follows (ticked exactly when
    // every name is).
    void SetTicked(std::size_t index, bool ticked);
    // "Select All" ticked or unticked: every name follows.
    void SetAllTicked(bool ticked);
    void SetExcluded(bool excluded) noexcept { excluded_ = excluded; }

    // The text "OK" gives: empty when "Select All" is ticked, else the
    // ticked names in list order joined by ";".
    std::string Selection() const;

private:
    std::vector<std::string> names_;
    std::vector<bool> ticked_;
    bool all_ = false;
    bool excluded_ = false;
};

} // namespace zd
