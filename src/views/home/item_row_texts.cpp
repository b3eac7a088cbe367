#include "views/home/item_row_texts.h"

#include <QDateTime>
#include <QStringList>

#include "utilities/byte_formatting.h"
#include "views/shared/status_grammar.h"

namespace hl::ItemRowTexts {

namespace {

QDate localDay(Date date, const QTimeZone& zone) {
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(date.time_since_epoch()).count();
  return QDateTime::fromSecsSinceEpoch(seconds, zone).date();
}

}  // namespace

LeadingCell leadingCell(const CacheItem& item, std::string_view home) {
  if (item.isSelectable()) {
    return {LeadingCell::Kind::checkbox, "Include " + item.name, std::nullopt};
  }
  if (item.risk == RiskLevel::review && item.kind == ItemKind::path && !item.inUseReason) {
    return {LeadingCell::Kind::reviewButton, "Review in File Manager", "eye"};
  }
  const std::string help = StatusGrammar::stateTag(item, home).help;
  if (item.isReportOnly && !item.inUseReason) {
    return {LeadingCell::Kind::chartSymbol, help, "chart.bar"};
  }
  return {LeadingCell::Kind::lockSymbol, help, "lock.fill"};
}

std::optional<Date> modifiedDate(const CacheItem& item) {
  if (item.newestModification) return item.newestModification;
  return item.modified;
}

QString subtitle(const CacheItem& item, bool groupSelected, bool showModified,
                 const QLocale& locale, const QTimeZone& zone) {
  QStringList parts{QString::fromStdString(item.subtitle)};
  if (!groupSelected) {
    const std::string_view group = displayName(item.group);
    parts.append(QString::fromUtf8(group.data(), static_cast<qsizetype>(group.size())));
  }
  if (!showModified) {
    if (const auto date = modifiedDate(item)) {
      parts.append(locale.toString(localDay(*date, zone), QStringLiteral("MMM d")));
    }
  }
  return parts.join(QStringLiteral(" \u00b7 "));
}

QString modifiedText(const CacheItem& item, const QLocale& locale, const QTimeZone& zone) {
  const auto date = modifiedDate(item);
  if (!date) return {};
  return locale.toString(localDay(*date, zone), QStringLiteral("d MMM yyyy"));
}

std::string nameHelp(const CacheItem& item) {
  return item.kind == ItemKind::virtual_ ? item.subtitle : item.id;
}

SizeCell sizeCell(const CacheItem& item, bool needsFullDiskAccess) {
  if (item.isUnreadable || (item.group == CacheGroup::trash && needsFullDiskAccess)) {
    return {SizeCell::Kind::noAccess, "No access", true};
  }
  if (!item.size) {
    if (item.kind == ItemKind::path) return {SizeCell::Kind::spinner, "", false};
    return {SizeCell::Kind::dash, "\u2014", true};
  }
  return {SizeCell::Kind::text, ByteFormatting::string(*item.size, item.isApproximate), false};
}

double sizeFraction(const CacheItem& item, std::int64_t largest) {
  return ByteFormatting::fraction(item.knownSize(), largest);
}

bool showsAccessHint(const CacheItem& item, bool needsFullDiskAccess) {
  return item.group == CacheGroup::trash && needsFullDiskAccess;
}

}  // namespace hl::ItemRowTexts
