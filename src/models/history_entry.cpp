#include "models/history_entry.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <cmath>

#include "utilities/iso8601.h"

namespace hl {
namespace {

QString qs(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::string ss(const QString& s) {
  const QByteArray bytes = s.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QJsonObject toJson(const HistoryEntry& entry) {
  QJsonObject object;
  object.insert("id", qs(entry.id.uuidString()));
  object.insert("operationID", qs(entry.operationID.uuidString()));
  object.insert("date", qs(formatISO8601(entry.date)));
  object.insert("category", qs(entry.category));
  QJsonArray paths;
  for (const std::string& path : entry.itemPaths) paths.append(qs(path));
  object.insert("itemPaths", paths);
  object.insert("bytesFreed", static_cast<qint64>(entry.bytesFreed));
  QJsonArray failures;
  for (const HistoryEntry::Failure& failure : entry.failures) {
    QJsonObject f;
    f.insert("path", qs(failure.path));
    f.insert("message", qs(failure.message));
    failures.append(f);
  }
  object.insert("failures", failures);
  if (entry.trigger) object.insert("trigger", qs(*entry.trigger));
  object.insert("permanent", entry.permanent);
  return object;
}

// QJsonValue answers a default for a missing or mistyped key; every read checks the type.
struct Reader {
  const QJsonObject& object;
  std::string* error;

  bool fail(const char* key, const char* what) {
    if (error) *error = std::string("\"") + key + "\" " + what;
    return false;
  }

  bool string(const char* key, std::string& out) {
    const QJsonValue value = object.value(key);
    if (!value.isString()) return fail(key, value.isUndefined() ? "is missing" : "is not a string");
    out = ss(value.toString());
    return true;
  }

  bool uuid(const char* key, UUID& out) {
    std::string text;
    if (!string(key, text)) return false;
    auto parsed = UUID::parse(text);
    if (!parsed) return fail(key, "is not a UUID");
    out = *parsed;
    return true;
  }

  bool date(const char* key, Date& out) {
    std::string text;
    if (!string(key, text)) return false;
    auto parsed = parseISO8601(text);
    if (!parsed) return fail(key, "is not an ISO 8601 date");
    out = *parsed;
    return true;
  }

  bool integer(const char* key, std::int64_t& out) {
    const QJsonValue value = object.value(key);
    if (!value.isDouble()) return fail(key, value.isUndefined() ? "is missing" : "is not a number");
    // Qt keeps integers that fit exactly; a fraction is not an integer.
    const double d = value.toDouble();
    if (std::floor(d) != d || std::fabs(d) > 9.2e18) return fail(key, "is not an integer");
    out = value.toInteger();
    return true;
  }

  bool array(const char* key, QJsonArray& out) {
    const QJsonValue value = object.value(key);
    if (!value.isArray()) return fail(key, value.isUndefined() ? "is missing" : "is not an array");
    out = value.toArray();
    return true;
  }
};

std::optional<HistoryEntry> fromJson(const QJsonValue& value, std::string* error) {
  if (!value.isObject()) {
    if (error) *error = "a record is not an object";
    return std::nullopt;
  }
  const QJsonObject object = value.toObject();
  Reader read{object, error};
  HistoryEntry entry;
  QJsonArray paths, failures;
  if (!read.uuid("id", entry.id) || !read.uuid("operationID", entry.operationID) ||
      !read.date("date", entry.date) || !read.string("category", entry.category) ||
      !read.array("itemPaths", paths) || !read.integer("bytesFreed", entry.bytesFreed) ||
      !read.array("failures", failures)) {
    return std::nullopt;
  }
  for (const QJsonValue& path : paths) {
    if (!path.isString()) {
      read.fail("itemPaths", "holds a value that is not a string");
      return std::nullopt;
    }
    entry.itemPaths.push_back(ss(path.toString()));
  }
  for (const QJsonValue& failure : failures) {
    if (!failure.isObject()) {
      read.fail("failures", "holds a value that is not an object");
      return std::nullopt;
    }
    const QJsonObject f = failure.toObject();
    Reader fr{f, error};
    HistoryEntry::Failure item;
    if (!fr.string("path", item.path) || !fr.string("message", item.message)) {
      return std::nullopt;
    }
    entry.failures.push_back(std::move(item));
  }
  const QJsonValue trigger = object.value("trigger");
  if (trigger.isString()) {
    entry.trigger = ss(trigger.toString());
  } else if (!trigger.isUndefined() && !trigger.isNull()) {
    read.fail("trigger", "is not a string");
    return std::nullopt;
  }
  const QJsonValue permanent = object.value("permanent");
  if (permanent.isBool()) {
    entry.permanent = permanent.toBool();
  } else if (!permanent.isUndefined() && !permanent.isNull()) {
    read.fail("permanent", "is not a Boolean");
    return std::nullopt;
  }
  return entry;
}

std::optional<QJsonDocument> parse(std::string_view json, std::string* error) {
  QJsonParseError parseError{};
  QJsonDocument document = QJsonDocument::fromJson(
      QByteArray(json.data(), static_cast<qsizetype>(json.size())), &parseError);
  if (parseError.error != QJsonParseError::NoError) {
    if (error) *error = ss(parseError.errorString());
    return std::nullopt;
  }
  return document;
}

std::string toText(const QJsonDocument& document) {
  const QByteArray bytes = document.toJson(QJsonDocument::Indented);
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace

HistoryEntry HistoryEntry::make(UUID operationID, Date date, std::string category,
                                std::vector<std::string> itemPaths, std::int64_t bytesFreed,
                                std::vector<Failure> failures, std::optional<std::string> trigger,
                                bool permanent) {
  HistoryEntry entry;
  entry.id = UUID::random();
  entry.operationID = operationID;
  entry.date = wholeSeconds(date);
  entry.category = std::move(category);
  entry.itemPaths = std::move(itemPaths);
  entry.bytesFreed = bytesFreed;
  entry.failures = std::move(failures);
  entry.trigger = std::move(trigger);
  entry.permanent = permanent;
  return entry;
}

std::string encodeHistory(const std::vector<HistoryEntry>& entries) {
  QJsonArray array;
  for (const HistoryEntry& entry : entries) array.append(toJson(entry));
  return toText(QJsonDocument(array));
}

std::optional<std::vector<HistoryEntry>> decodeHistory(std::string_view json,
                                                       std::string* error) {
  auto document = parse(json, error);
  if (!document) return std::nullopt;
  if (!document->isArray()) {
    if (error) *error = "the file does not hold an array";
    return std::nullopt;
  }
  std::vector<HistoryEntry> entries;
  for (const QJsonValue& value : document->array()) {
    auto entry = fromJson(value, error);
    if (!entry) return std::nullopt;
    entries.push_back(std::move(*entry));
  }
  return entries;
}

std::string encodeHistoryEntry(const HistoryEntry& entry) {
  return toText(QJsonDocument(toJson(entry)));
}

std::optional<HistoryEntry> decodeHistoryEntry(std::string_view json, std::string* error) {
  auto document = parse(json, error);
  if (!document) return std::nullopt;
  if (!document->isObject()) {
    if (error) *error = "not an object";
    return std::nullopt;
  }
  return fromJson(QJsonValue(document->object()), error);
}

}  // namespace hl
