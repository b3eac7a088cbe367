#include "platform/settings_file.h"

#include <QSettings>
#include <QString>
#include <QVariant>
#include <charconv>
#include <cmath>

namespace hl::SettingsFile {

std::optional<bool> parseBool(std::string_view text) {
  if (text == "true") return true;
  if (text == "false") return false;
  return std::nullopt;
}

std::optional<double> parseNumber(std::string_view text) {
  if (text.empty()) return std::nullopt;
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [next, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || next != end || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::optional<bool> readBool(std::string_view key) {
  QSettings settings(QString::fromUtf8(organization.data(), organization.size()),
                     QString::fromUtf8(application.data(), application.size()));
  const QVariant value =
      settings.value(QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())));
  if (!value.isValid()) return std::nullopt;
  if (value.typeId() == QMetaType::Bool) return value.toBool();
  if (value.typeId() == QMetaType::QString) return parseBool(value.toString().toStdString());
  return std::nullopt;
}

}  // namespace hl::SettingsFile
