#include "services/system/system_queries.h"
#include "utilities/text_lines.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <chrono>
#include <cmath>
#include <limits>

namespace hl::SystemQueries {
namespace {

using namespace std::chrono_literals;

std::int64_t saturatingAdd(std::int64_t total, std::int64_t more) {
  if (more > 0 && total > std::numeric_limits<std::int64_t>::max() - more) {
    return std::numeric_limits<std::int64_t>::max();
  }
  if (more < 0 && total < std::numeric_limits<std::int64_t>::min() - more) {
    return std::numeric_limits<std::int64_t>::min();
  }
  return total + more;
}

std::int64_t integerValue(const QJsonValue& number) {
  const qint64 exact = number.toInteger(std::numeric_limits<qint64>::min());
  if (exact != std::numeric_limits<qint64>::min()) return exact;
  const double value = number.toDouble();
  if (std::isnan(value)) return 0;
  if (value >= 9.2e18) return std::numeric_limits<std::int64_t>::max();
  if (value <= -9.2e18) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(value);
}

bool isListOfObjects(const QJsonValue& value) {
  if (!value.isArray()) return false;
  const QJsonArray list = value.toArray();
  for (const QJsonValue& entry : list) {
    if (!entry.isObject()) return false;
  }
  return true;
}

}  // namespace

std::optional<UnavailableSimulators> parseUnavailableSimulators(std::string_view json,
                                                                const FolderMeasurer& measure) {
  QJsonParseError error{};
  const QJsonDocument document =
      QJsonDocument::fromJson(QByteArray(json.data(), static_cast<qsizetype>(json.size())), &error);
  if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
  const QJsonValue devices = document.object().value(QStringLiteral("devices"));
  if (!devices.isObject()) return std::nullopt;

  UnavailableSimulators result;
  const QJsonObject runtimes = devices.toObject();
  for (auto runtime = runtimes.begin(); runtime != runtimes.end(); ++runtime) {
    if (!isListOfObjects(runtime.value())) continue;
    const QJsonArray list = runtime.value().toArray();
    result.count += static_cast<int>(list.size());
    for (const QJsonValue& entry : list) {
      const QJsonObject device = entry.toObject();
      const QJsonValue size = device.value(QStringLiteral("dataPathSize"));
      const QJsonValue path = device.value(QStringLiteral("dataPath"));
      if (size.isDouble()) {
        result.size = saturatingAdd(result.size, integerValue(size));
      } else if (path.isString() && measure) {
        const QByteArray folder = path.toString().toUtf8();
        if (auto measured = measure(std::string(folder.constData(), folder.size()))) {
          result.size = saturatingAdd(result.size, *measured);
        }
      }
    }
  }
  if (result.count < 1) return std::nullopt;
  return result;
}

std::vector<std::string> parseLocalSnapshots(std::string_view output) {
  std::vector<std::string> lines;
  for (std::string_view line : nonEmptyLines(output)) {
    if (line.find("com.apple.TimeMachine") != std::string_view::npos) lines.emplace_back(line);
  }
  return lines;
}

std::optional<UnavailableSimulators> unavailableSimulators(const FolderMeasurer& measure,
                                                           std::stop_token stop,
                                                           const ProcessRunner::Runner& runner) {
  if (!runner) return std::nullopt;
  const std::optional<ProcessOutput> output =
      runner("/usr/bin/xcrun", {"simctl", "list", "devices", "unavailable", "-j"}, 20s, stop);
  if (!output || !output->succeeded()) return std::nullopt;
  return parseUnavailableSimulators(output->out, measure);
}

std::vector<std::string> localSnapshots(std::stop_token stop, const ProcessRunner::Runner& runner) {
  if (!runner) return {};
  const std::optional<ProcessOutput> output =
      runner("/usr/bin/tmutil", {"listlocalsnapshots", "/"}, 10s, stop);
  if (!output || !output->succeeded()) return {};
  return parseLocalSnapshots(output->out);
}

}  // namespace hl::SystemQueries
