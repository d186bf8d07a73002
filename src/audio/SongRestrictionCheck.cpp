#include "audio/SongRestrictionCheck.hpp"

#include "audio/FileOps.hpp"

namespace zd {

bool IsAllowedAt(const TSongRestriction& restriction, const std::string& markedFileName, TDateTime now,
    TDateTime when) noexcept
{
    try {
        bool afterEnd = false;
        if (RestrictionAllows(restriction, when, afterEnd))
            return true;
        const TRestrictionRange range = NormaliseRestriction(restriction, when);
        const bool inside = when >= range.Start && when <= range.End;
        if (!inside && restriction.DeleteAfterEnd != 0 && afterEnd && !markedFileName.empty() && now > 1.0) {
            const TRestrictionRange current = NormaliseRestriction(restriction, now);
            if (!(now >= current.Start && now <= current.End))
                DeleteFileMarked(markedFileName);
        }
        return false;
    } catch (...) {
        return false;
    }
}

} // namespace zd
