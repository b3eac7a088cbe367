#include <cerrno>
#include <gtest/gtest.h>

#include "services/system/full_disk_access.h"
#include "services/system/volume_service.h"
#include "support/fake_home.h"
#include "utilities/byte_formatting.h"

using namespace hl;

TEST(ByteFormatting, FileStyleDecimalUnits) {
  EXPECT_EQ(ByteFormatting::string(0), "0 bytes");
  EXPECT_EQ(ByteFormatting::string(-5), "0 bytes");
  EXPECT_EQ(ByteFormatting::string(1), "1 byte");
  EXPECT_EQ(ByteFormatting::string(999), "999 bytes");
  EXPECT_EQ(ByteFormatting::string(1000), "1 KB");
  EXPECT_EQ(ByteFormatting::string(1499), "1 KB");
  EXPECT_EQ(ByteFormatting::string(999'400), "999 KB");
  EXPECT_EQ(ByteFormatting::string(999'600), "1 MB");
  EXPECT_EQ(ByteFormatting::string(1'000'000), "1 MB");
  EXPECT_EQ(ByteFormatting::string(1'200'000), "1.2 MB");
  EXPECT_EQ(ByteFormatting::string(1'000'000'000), "1 GB");
  EXPECT_EQ(ByteFormatting::string(1'234'567'890), "1.23 GB");
  EXPECT_EQ(ByteFormatting::string(1'000'000'000'000), "1 TB");
  EXPECT_EQ(ByteFormatting::string(INT64_MAX), "9.22 EB");
  EXPECT_EQ(ByteFormatting::string(1'200'000, true), "\u2248 1.2 MB");
}

TEST(ByteFormatting, FractionIsClamped) {
  EXPECT_EQ(ByteFormatting::fraction(5, 0), 0);
  EXPECT_EQ(ByteFormatting::fraction(5, 10), 0.5);
  EXPECT_EQ(ByteFormatting::fraction(50, 10), 1.0);
  EXPECT_EQ(ByteFormatting::fraction(-5, 10), 0.0);
}

TEST(VolumeInfo, UsedCapacityAndFraction) {
  EXPECT_EQ((VolumeInfo{"/", "D", 0, 0}).usedFraction(), 0);
  EXPECT_EQ((VolumeInfo{"/", "D", 100, 150}).usedCapacity(), 0);
  EXPECT_EQ((VolumeInfo{"/", "D", 100, 150}).usedFraction(), 0);
  EXPECT_EQ((VolumeInfo{"/", "D", 100, 0}).usedFraction(), 1.0);
  EXPECT_EQ((VolumeInfo{"/", "D", 100, 25}).usedCapacity(), 75);
}

TEST(VolumeService, FallbacksForAvailableSpaceAndName) {
  VolumeService::CapacityReading reading;
  EXPECT_FALSE(VolumeService::makeVolumeInfo("/x", reading));
  reading.totalCapacity = 100;
  auto info = VolumeService::makeVolumeInfo("/x", reading);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->availableCapacity, 0);
  EXPECT_EQ(info->name, "Disk");
  reading.availableCapacity = 40;
  reading.name = "Macintosh HD";
  EXPECT_EQ(VolumeService::makeVolumeInfo("/x", reading)->availableCapacity, 40);
  reading.availableForImportantUsage = 30;
  reading.localizedName = "Local";
  info = VolumeService::makeVolumeInfo("/x", reading);
  EXPECT_EQ(info->availableCapacity, 30);
  EXPECT_EQ(info->name, "Local");
}

TEST(VolumeService, ReadsTheHomeVolume) {
  EXPECT_EQ(VolumeService::defaultVolumeURL(), std::getenv("HOME"));
  const auto info = VolumeService::volume(VolumeService::defaultVolumeURL());
  ASSERT_TRUE(info);
  EXPECT_GT(info->totalCapacity, 0);
  EXPECT_LE(info->availableCapacity, info->totalCapacity);
  EXPECT_FALSE(VolumeService::volume("/no/such/folder/here"));
}

TEST(FullDiskAccess, ClassifiesOnlyEpermAsDenied) {
  EXPECT_EQ(FullDiskAccess::classify(EPERM), FullDiskAccess::Status::denied);
  EXPECT_EQ(FullDiskAccess::classify(EACCES), FullDiskAccess::Status::notApplicable);
  EXPECT_EQ(FullDiskAccess::classify(ENOENT), FullDiskAccess::Status::notApplicable);
  test::FakeHome home;
  EXPECT_EQ(FullDiskAccess::status(home.path()), FullDiskAccess::Status::granted);
  EXPECT_EQ(FullDiskAccess::status(home / ".Trash"), FullDiskAccess::Status::notApplicable);
  EXPECT_EQ(FullDiskAccess::applicationStatus(), FullDiskAccess::Status::notApplicable);
  EXPECT_FALSE(FullDiskAccess::openSettings());
}
