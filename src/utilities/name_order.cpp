#include "utilities/name_order.h"

#include <QCollator>
#include <QLocale>
#include <QString>
#include <algorithm>
#include <utility>

namespace hl {
namespace {

// One collator per thread: QCollator is not safe to share between threads. Under the "C"
// locale ICU compares code points and numeric mode does nothing, so "file10" would sort before
// "file9"; English gives the expected order there.
QCollator& collator() {
  thread_local QCollator instance = [] {
    QLocale locale = QLocale::system();
    if (locale.name() == QLatin1String("C") || locale.language() == QLocale::C) {
      locale = QLocale(QLocale::English, QLocale::UnitedStates);
    }
    QCollator c(locale);
    c.setNumericMode(true);
    c.setCaseSensitivity(Qt::CaseInsensitive);
    return c;
  }();
  return instance;
}

QString toQString(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

int compareNames(std::string_view a, std::string_view b) {
  return collator().compare(toQString(a), toQString(b));
}

void stableSortByName(std::vector<std::size_t>& indices,
                      const std::vector<std::string_view>& names) {
  if (indices.size() < 2) return;
  QCollator& c = collator();
  if (indices.size() < 8) {
    // Too few names for keys to pay off.
    std::vector<std::pair<QString, std::size_t>> texts;
    texts.reserve(indices.size());
    for (std::size_t i : indices) texts.emplace_back(toQString(names[i]), i);
    std::stable_sort(texts.begin(), texts.end(), [&](const auto& x, const auto& y) {
      return c.compare(x.first, y.first) < 0;
    });
    for (std::size_t k = 0; k < texts.size(); ++k) indices[k] = texts[k].second;
    return;
  }
  // One sort key per name, then plain byte comparisons: the collator's own order, without
  // running the collation again for every comparison of a large folder.
  std::vector<std::pair<QCollatorSortKey, std::size_t>> keyed;
  keyed.reserve(indices.size());
  for (std::size_t i : indices) keyed.emplace_back(c.sortKey(toQString(names[i])), i);
  std::stable_sort(keyed.begin(), keyed.end(), [](const auto& x, const auto& y) {
    return x.first.compare(y.first) < 0;
  });
  for (std::size_t k = 0; k < keyed.size(); ++k) indices[k] = keyed[k].second;
}

}  // namespace hl
