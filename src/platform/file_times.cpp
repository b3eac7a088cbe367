#include "platform/file_times.h"

#include <sys/stat.h>

#include <chrono>

namespace hl {
namespace {

Date dateOf(std::int64_t seconds, std::int64_t nanoseconds) {
  return Date{std::chrono::duration_cast<Date::duration>(std::chrono::seconds{seconds} +
                                                         std::chrono::nanoseconds{nanoseconds})};
}

}  // namespace

Date contentModificationDate(const EntryStatus& status) {
  return dateOf(status.modifiedSeconds, status.modifiedNanoseconds);
}

std::optional<Date> attributeModificationDate(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return std::nullopt;
  return dateOf(status.st_ctim.tv_sec, status.st_ctim.tv_nsec);
}

}  // namespace hl
