#include "support/qt_settings_reading.h"

#include <QByteArray>
#include <QStringList>
#include <QVariant>
#include <cstdio>

#include "platform/ini_encoding.h"
#include "platform/settings_file.h"

namespace hl::test {
namespace {

using Scalar = IniDocument::Scalar;
using Kind = IniDocument::Scalar::Kind;

Scalar fromQt(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::QString: return {Kind::text, keyBytes(value.toString())};
    case QMetaType::QByteArray: {
      const QByteArray array = value.toByteArray();
      return {Kind::bytes, std::string(array.constData(), static_cast<std::size_t>(array.size()))};
    }
    case QMetaType::UnknownType: return {Kind::invalid, {}};
    default: return {Kind::other, {}};
  }
}

bool isList(const QVariant& value) {
  return value.typeId() == QMetaType::QStringList || value.typeId() == QMetaType::QVariantList;
}


}  // namespace

const IniDocument::Value kNeverFound = Scalar{Kind::other, "a key Qt never finds"};

bool qtFinds(const std::string& key) {
  return !key.empty() && key.front() != '/' && key.back() != '/' &&
         key.find("//") == std::string::npos;
}

std::string keyBytes(const QString& key) {
  std::string out;
  for (qsizetype i = 0; i < key.size(); ++i) {
    const char16_t unit = key.at(i).unicode();
    if (QChar::isHighSurrogate(unit) && i + 1 < key.size() && key.at(i + 1).isLowSurrogate()) {
      IniEncoding::appendUtf8(out, QChar::surrogateToUcs4(unit, key.at(i + 1).unicode()));
      ++i;
    } else {
      IniEncoding::appendUtf8(out, unit);
    }
  }
  return out;
}

IniValues qtReading(const QSettings& settings) {
  IniValues values;
  for (const QString& key : settings.allKeys()) {
    const std::string name = keyBytes(key);
    if (!qtFinds(name)) {
      values[name] = kNeverFound;
      continue;
    }
    const QVariant value = settings.value(key);
    if (isList(value)) {
      std::vector<Scalar> list;
      for (const QVariant& element : value.toList()) list.push_back(fromQt(element));
      values[name] = list;
    } else {
      values[name] = fromQt(value);
    }
  }
  return values;
}

IniValues ourReading(const IniDocument& document) {
  IniValues values;
  for (const std::string& key : document.keys()) {
    if (!qtFinds(key)) {
      values[key] = kNeverFound;
      continue;
    }
    IniDocument::Value value = *document.value(key);
    auto forget = [](Scalar& scalar) {
      if (scalar.kind == Kind::other) scalar.bytes.clear();
    };
    if (auto* list = std::get_if<std::vector<Scalar>>(&value)) {
      for (Scalar& element : *list) forget(element);
    } else {
      forget(std::get<Scalar>(value));
    }
    values[key] = value;
  }
  return values;
}

IniValues withLoneSurrogatesReplaced(IniValues values) {
  const auto replace = [](Scalar& scalar) {
    if (scalar.kind != Kind::text) return;
    std::string& text = scalar.bytes;
    // A surrogate's three bytes: ED, then A0 to BF.
    for (std::size_t at = 0; (at = text.find('\xED', at)) != std::string::npos; at += 3) {
      if (at + 2 < text.size() && static_cast<unsigned char>(text[at + 1]) >= 0xA0) {
        text.replace(at, 3, "\xEF\xBF\xBD");
      }
    }
  };
  for (auto& [key, value] : values) {
    if (auto* list = std::get_if<std::vector<Scalar>>(&value)) {
      for (Scalar& element : *list) replace(element);
    } else {
      replace(std::get<Scalar>(value));
    }
  }
  return values;
}

bool qtReadOnly(const QSettings& settings) {
  const QVariant value = settings.value("HLMReadOnly");
  if (!value.isValid()) return false;
  if (value.typeId() != QMetaType::QString) return true;
  return SettingsFile::parseFailingClosed(value.toString().toStdString());
}

std::string escapedBytes(const std::string& bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      out += "\\n\n";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (byte < 0x20 || byte >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

IniDocument::Value asBytes(IniDocument::Value value) {
  using Scalar = IniDocument::Scalar;
  auto flatten = [](Scalar& scalar) {
    if (scalar.kind == Scalar::Kind::text) scalar.kind = Scalar::Kind::bytes;
  };
  if (auto* list = std::get_if<std::vector<Scalar>>(&value)) {
    for (Scalar& element : *list) flatten(element);
  } else {
    flatten(std::get<Scalar>(value));
  }
  return value;
}

}  // namespace hl::test
