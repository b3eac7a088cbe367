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

namespace {

QString qtText(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

std::optional<bool> readBool(std::string_view key) {
  QSettings settings(qtText(organization), qtText(application));
  const QVariant value = settings.value(qtText(key));
  if (!value.isValid()) return std::nullopt;
  if (value.typeId() == QMetaType::Bool) return value.toBool();
  if (value.typeId() == QMetaType::QString) return parseBool(value.toString().toStdString());
  return std::nullopt;
}

bool parseFailingClosed(std::string_view text) {
  const QString folded = qtText(text).trimmed().toLower();
  if (folded == QLatin1String("false") || folded == QLatin1String("no") ||
      folded == QLatin1String("off")) {
    return false;
  }
  const std::optional<double> number = parseNumber(folded.toStdString());
  return !(number && *number == 0);
}

std::optional<bool> readFailingClosed(std::string_view key) {
  QSettings settings(qtText(organization), qtText(application));
  const QVariant value = settings.value(qtText(key));
  if (!value.isValid()) return std::nullopt;
  switch (value.typeId()) {
    case QMetaType::Bool: return value.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double: return value.toDouble() != 0;
    case QMetaType::QString: return parseFailingClosed(value.toString().toStdString());
    default: return true;  // a list or anything else is not a plain "off"
  }
}

bool writeBool(std::string_view key, bool value) {
  QSettings settings(qtText(organization), qtText(application));
  settings.setValue(qtText(key), value);
  settings.sync();
  return settings.status() == QSettings::NoError;
}

}  // namespace hl::SettingsFile
