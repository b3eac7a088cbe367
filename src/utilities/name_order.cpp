#include "utilities/name_order.h"

#include <QCollator>
#include <QLocale>
#include <QString>
#include <algorithm>

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
  std::vector<QString> keys(names.size());
  for (std::size_t i : indices) keys[i] = toQString(names[i]);
  QCollator& c = collator();
  std::stable_sort(indices.begin(), indices.end(),
                   [&](std::size_t x, std::size_t y) { return c.compare(keys[x], keys[y]) < 0; });
}

}  // namespace hl
