#include "services/system/volume_service.h"

#include <QStorageInfo>
#include <QString>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include "platform/user_folders.h"
#include "utilities/path_canonical.h"

namespace hl {

std::string VolumeService::defaultVolumeURL() {
  const std::string data = "/System/Volumes/Data";
  struct stat st {};
  if (::stat(PathCanonical::canonical(data).c_str(), &st) == 0) return data;
  return homeDirectory();
}

std::optional<VolumeInfo> VolumeService::makeVolumeInfo(const std::string& url,
                                                        const CapacityReading& reading) {
  if (!reading.totalCapacity) return std::nullopt;
  VolumeInfo info;
  info.url = url;
  info.totalCapacity = *reading.totalCapacity;
  info.availableCapacity = reading.availableForImportantUsage.value_or(
      reading.availableCapacity.value_or(0));
  info.name = reading.localizedName.value_or(reading.name.value_or("Disk"));
  return info;
}

std::optional<VolumeInfo> VolumeService::volume(const std::string& url) {
  // The space a user without privileges may fill (f_bavail) is what matters to a user, so it
  // stands for the capacity "available for important usage"; the label is the volume's name.
  struct statvfs vfs {};
  if (::statvfs(url.c_str(), &vfs) != 0) return std::nullopt;
  CapacityReading reading;
  reading.totalCapacity = static_cast<std::int64_t>(vfs.f_blocks) *
                          static_cast<std::int64_t>(vfs.f_frsize);
  reading.availableForImportantUsage =
      static_cast<std::int64_t>(vfs.f_bavail) * static_cast<std::int64_t>(vfs.f_frsize);
  const QStorageInfo storage(QString::fromUtf8(url.c_str()));
  if (storage.isValid() && !storage.name().isEmpty()) {
    reading.name = storage.name().toStdString();
  }
  return makeVolumeInfo(url, reading);
}

}  // namespace hl
