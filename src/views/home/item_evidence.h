#pragma once

#include <QLocale>
#include <QTimeZone>
#include <functional>
#include <string>
#include <vector>

#include "models/cache_item.h"
#include "viewmodels/cleaner/evidence_facts.h"

namespace hl {

// The plain facts that explain why an item is locked, risky or safe, as shown under "Evidence"
// in its details: what the in-use check found, the running owner, the worktree's repository and
// git state, lock files git left behind, the newest agent transcript for the folder, the newest
// file inside and where it was found. The facts read from the disk come from the in-use rules,
// gathered off the GUI thread.
namespace ItemEvidence {

// The lines in display order, each a sentence ending in "."; paths show the home folder as "~",
// dates in the locale's abbreviated date and short time. What the disk holds comes in `facts`
// (`gatherEvidenceFacts`, off the GUI thread); what could not be read adds no line.
std::vector<std::string> collect(const CacheItem& item, const EvidenceFacts& facts,
                                 const std::string& home, const QLocale& locale = QLocale(),
                                 const QTimeZone& zone = QTimeZone::systemTimeZone());

// Runs a job off the GUI thread; the program's runner uses Qt's global thread pool.
using Runner = std::function<void(std::function<void()> job)>;
Runner threadPoolRunner();

}  // namespace ItemEvidence

}  // namespace hl
