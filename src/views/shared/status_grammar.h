#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "models/cache_item.h"
#include "utilities/time.h"
#include "views/shared/status_tag_model.h"

namespace hl {

// The one set of rules that turns items, refusal texts and recorded removals into chips. Views
// never compose chip titles, symbols or tints themselves. Pure functions; any thread.
//
// Help texts name an item by its name for a virtual row, else by its path with the home folder
// written "~" for the `home` given (the view model's).
namespace StatusGrammar {

// The one chip that says whether and why the row may be ticked. In-use reasons are compared
// exactly, case included.
StatusTagModel stateTag(const CacheItem& item, std::string_view home);

// The guard and information chips in their fixed order; empty for a review-only row that is
// not in use.
std::vector<StatusTagModel> qualifiers(const CacheItem& item, Date now);

// What a row shows: the state chip, then the first qualifier when `limit` is 2 or more. Every
// qualifier not shown is listed in the state chip's help as a "• title" line.
std::vector<StatusTagModel> tags(const CacheItem& item, int limit, Date now,
                                 std::string_view home);

// One or two chips for a refusal text, chosen by lower-cased phrases; both carry the text as
// help. A text with none of the phrases is "Protected".
std::vector<StatusTagModel> tags(std::string_view refusal);

// The chip of a recorded removal ("Trashed" or "Deleted").
StatusTagModel removalTag(bool permanent);

// The tint a risk level is drawn in (also the group details' risk chip).
StatusTint tint(RiskLevel risk);

}  // namespace StatusGrammar

}  // namespace hl
