#include "support/removal_journals.h"

#include <gtest/gtest.h>

#include "support/fake_home.h"
#include "support/write_failures.h"

namespace hl::test {

std::vector<PendingRemoval> journalsIn(const std::string& folder) {
  std::vector<PendingRemoval> journals;
  for (const std::string& name : namesIn(folder)) {
    const std::string suffix = ".journal";
    if (name.rfind("removal-", 0) != 0 || name.size() < suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
      continue;
    }
    auto journal = decodePendingRemoval(readFile(folder + "/" + name));
    EXPECT_TRUE(journal) << name;
    if (journal) journals.push_back(std::move(*journal));
  }
  return journals;
}

}  // namespace hl::test
