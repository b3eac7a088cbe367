#include "platform/file_times.h"

#include <chrono>

namespace hl {
namespace {

Date dateOf(const timespec& time) {
  return Date{std::chrono::duration_cast<Date::duration>(std::chrono::seconds{time.tv_sec} +
                                                         std::chrono::nanoseconds{time.tv_nsec})};
}

}  // namespace

Date contentModificationDate(const struct stat& status) { return dateOf(status.st_mtim); }

Date attributeModificationDate(const struct stat& status) { return dateOf(status.st_ctim); }

}  // namespace hl
