#include "platform/settings_file.h"

#include <QByteArray>
#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <mutex>

#include "platform/aside_copy.h"
#include "platform/atomic_file.h"
#include "platform/plain_file.h"
#include "utilities/path_canonical.h"

namespace hl::SettingsFile {
namespace {

using Scalar = IniDocument::Scalar;

const Scalar* scalarOf(const std::optional<IniDocument::Value>& value) {
  return value ? std::get_if<Scalar>(&*value) : nullptr;
}

std::optional<std::string> textValue(const IniDocument& document, std::string_view key) {
  const std::optional<IniDocument::Value> value = document.value(key);
  const Scalar* scalar = scalarOf(value);
  if (!scalar || scalar->kind != Scalar::Kind::text) return std::nullopt;
  return scalar->bytes;
}

std::string trimmedLower(std::string_view text) {
  const auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

// One write at a time in this process: each reads the file, changes it and puts it back.
std::mutex& writing() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

std::string standardPath() { return standardLocation().path; }

Location standardLocation() {
  const auto local = [](const QString& folder) {
    const QByteArray bytes = QFile::encodeName(folder);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  };
  const std::string appFile = std::string(organization) + "/" + std::string(application) + ".conf";
  const std::string orgFile = std::string(organization) + ".conf";
  const std::string user =
      local(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
  // The system folders: every configuration folder but the first, which is the user's.
  QStringList folders = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
  if (!folders.isEmpty()) folders.removeFirst();
  Location location(appendingPath(user, appFile), {appendingPath(user, orgFile)});
  for (const QString& folder : folders) {
    location.alsoRead.push_back(appendingPath(local(folder), appFile));
  }
  for (const QString& folder : folders) {
    location.alsoRead.push_back(appendingPath(local(folder), orgFile));
  }
  return location;
}

Contents read(const std::string& path) {
  const PlainFile::OwnFile file = PlainFile::readOwn(path);
  return Contents{IniDocument::parse(file.bytes), file.failure};
}

Reading readAll(const Location& location) {
  Reading reading;
  reading.files.push_back({location.path, read(location.path)});
  for (const std::string& path : location.alsoRead) reading.files.push_back({path, read(path)});
  return reading;
}

IniDocument Reading::document() const {
  IniDocument merged;
  for (const File& file : files) merged.addMissing(file.contents.document);
  return merged;
}

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

std::string formatNumber(double value) {
  char text[64];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value);
  return error == std::errc() ? std::string(text, end) : std::string("0");
}

bool parseFailingClosed(std::string_view text) {
  const std::string folded = trimmedLower(text);
  if (folded == "false" || folded == "no" || folded == "off") return false;
  const std::optional<double> number = parseNumber(folded);
  return !(number && *number == 0);
}

std::optional<bool> boolValue(const IniDocument& document, std::string_view key) {
  const std::optional<std::string> text = textValue(document, key);
  return text ? parseBool(*text) : std::nullopt;
}

std::optional<double> numberValue(const IniDocument& document, std::string_view key) {
  const std::optional<std::string> text = textValue(document, key);
  return text ? parseNumber(*text) : std::nullopt;
}

std::vector<std::string> listValue(const IniDocument& document, std::string_view key) {
  const std::optional<IniDocument::Value> value = document.value(key);
  if (!value) return {};
  const auto isPath = [](const Scalar& scalar) {
    return scalar.kind == Scalar::Kind::text || scalar.kind == Scalar::Kind::bytes;
  };
  if (const Scalar* scalar = scalarOf(value)) {
    // An empty text is no path at all: a list holding "" would exclude every item.
    if (!isPath(*scalar) || scalar->bytes.empty()) return {};
    return {scalar->bytes};
  }
  std::vector<std::string> list;
  for (const Scalar& element : std::get<std::vector<Scalar>>(*value)) {
    if (!isPath(element)) return {};
    list.push_back(element.bytes);
  }
  return list;
}

std::optional<std::string> bytesValue(const IniDocument& document, std::string_view key) {
  const std::optional<IniDocument::Value> value = document.value(key);
  const Scalar* scalar = scalarOf(value);
  if (!scalar || scalar->kind != Scalar::Kind::bytes) return std::nullopt;
  return scalar->bytes;
}

Switch failingClosedValue(const Reading& reading, std::string_view key) {
  for (const Reading::File& file : reading.files) {
    if (file.contents.unreadable()) {
      return {true, "the settings file " + file.path + " cannot be read"};
    }
    // Damage may hide the switch, or a later line that sets it again (a quote left open takes
    // in the lines after it), so no value read from a damaged file turns it off.
    if (file.contents.document.damaged()) {
      return {true, "the settings file " + file.path + " is damaged"};
    }
    const std::optional<IniDocument::Value> value = file.contents.document.value(key);
    if (!value) continue;
    const Scalar* scalar = scalarOf(value);
    // A list or a typed value is not a plain "off".
    if (!scalar || scalar->kind != Scalar::Kind::text) return {true, std::nullopt, file.path};
    return {parseFailingClosed(scalar->bytes), std::nullopt, file.path};
  }
  return {};
}

WriteOutcome write(const std::string& path, const std::map<std::string, std::string>& values,
                   Date now) {
  std::lock_guard lock(writing());
  WriteOutcome outcome;
  const PlainFile::OwnFile file = PlainFile::readOwn(path);
  // A file that cannot be read cannot be kept: it is not written over.
  if (file.failure) {
    outcome.failure = *file.failure;
    return outcome;
  }
  // Read as Qt reads it, so that Qt reads every key it read before with the same value: where
  // damage parts our reading from Qt's, a key Qt lost (a switch set off again inside a quote left
  // open) is never written for it to find.
  IniDocument document = IniDocument::parse(file.bytes, IniDocument::Splitting::asQt);
  if (document.damaged()) {
    const AsideCopy::Outcome kept = AsideCopy::copyAside(path, file.bytes, now);
    if (const auto* failure = std::get_if<AsideCopy::Failure>(&kept)) {
      outcome.failure = failure->description;
      return outcome;
    }
    outcome.keptCopy = std::get<std::string>(kept);
  }
  for (const auto& [key, encoded] : values) document.set(key, encoded);

  std::error_code ec;
  std::filesystem::create_directories(parentPath(path), ec);
  if (ec) {
    outcome.failure = parentPath(path) + ": " + ec.message();
    return outcome;
  }
  outcome.failure = AtomicFile::replace(path, document.serialize());
  return outcome;
}

std::optional<bool> readBool(std::string_view key) {
  return boolValue(readAll(standardLocation()).document(), key);
}

Switch readFailingClosed(std::string_view key) {
  return failingClosedValue(readAll(standardLocation()), key);
}

bool writeBool(std::string_view key, bool value) {
  const WriteOutcome outcome =
      write(standardPath(), {{std::string(key), IniDocument::encodeText(value ? "true" : "false")}},
            std::chrono::system_clock::now());
  return !outcome.failure;
}

}  // namespace hl::SettingsFile
