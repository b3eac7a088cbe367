#include "utilities/name_order.h"

#include <QCollator>
#include <QLocale>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <array>
#include <atomic>
#include <future>
#include <mutex>
#include <numeric>
#include <thread>
#include <string>
#include <utility>

#include "utilities/in_parallel.h"
#include "utilities/in_parts.h"

namespace hl {
namespace {

QCollator makeCollator() {
  // Under the "C" locale ICU compares code points and numeric mode does nothing, so "file10"
  // would sort before "file9"; English gives the expected order there.
  QLocale locale = QLocale::system();
  if (locale.name() == QLatin1String("C") || locale.language() == QLocale::C) {
    locale = QLocale(QLocale::English, QLocale::UnitedStates);
  }
  QCollator c(locale);
  c.setNumericMode(true);
  c.setCaseSensitivity(Qt::CaseInsensitive);
  return c;
}

// One collator per thread: QCollator is not safe to share between threads.
QCollator& collator() {
  thread_local QCollator instance = makeCollator();
  return instance;
}

QString toQString(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Collation is costly: a folder of 200,000 files spends most of its sorting time asking the
// collator for keys. For names of printable ASCII the collator's order is simple, and it is
// taken from the collator itself: each character has a rank (upper and lower case the same),
// and a run of digits sorts by its value, after every sign and before every letter. A key of
// bytes made from those ranks then sorts as the collator does. Whether the locale's order
// really is that simple (no letters that combine, as "ch" does in Czech) is checked against the
// collator once, on names made to catch it; where it is not, every name goes to the collator.
class AsciiOrder {
 public:
  static const AsciiOrder& shared() {
    static const AsciiOrder order;
    return order;
  }

  bool usable() const { return usable_; }

  // Appends the name's key to `out`; false when the name is not one this order covers.
  bool key(std::string_view name, std::string& out) const {
    for (std::size_t i = 0; i < name.size();) {
      const auto c = static_cast<unsigned char>(name[i]);
      if (c < kFirst || c > kLast) return false;
      if (c < '0' || c > '9') {
        out.push_back(static_cast<char>(rank_[c]));
        ++i;
        continue;
      }
      std::size_t end = i;
      while (end < name.size() && name[end] >= '0' && name[end] <= '9') ++end;
      std::size_t start = i;
      while (start + 1 < end && name[start] == '0') ++start;
      // The collator takes long runs of digits apart; such names go to it.
      if (end - start > kLongestNumber) return false;
      out.push_back(static_cast<char>(digits_));
      out.push_back(static_cast<char>(end - start));
      out.append(name.substr(start, end - start));
      i = end;
    }
    return true;
  }

 private:
  static constexpr unsigned char kFirst = 0x20;
  static constexpr unsigned char kLast = 0x7e;
  static constexpr std::size_t kLongestNumber = 200;

  AsciiOrder() {
    QCollator c = makeCollator();
    // Ranks from the collator's order of the single characters; digits form one rank.
    std::vector<char> chars;
    for (unsigned char ch = kFirst; ch <= kLast; ++ch) {
      if (ch < '0' || ch > '9') chars.push_back(static_cast<char>(ch));
    }
    chars.push_back('0');
    std::stable_sort(chars.begin(), chars.end(), [&](char a, char b) {
      return c.compare(QString(QChar(a)), QString(QChar(b))) < 0;
    });
    unsigned char next = 1;
    for (std::size_t i = 0; i < chars.size(); ++i) {
      if (i > 0 && c.compare(QString(QChar(chars[i - 1])), QString(QChar(chars[i]))) != 0) {
        ++next;
      }
      rank_[static_cast<unsigned char>(chars[i])] = next;
    }
    digits_ = rank_['0'];
    usable_ = agreesWithCollator(c);
  }

  // Sorts names made to show a difference with the collator, and compares each neighbour in
  // both orders: contractions and expansions of letters, signs around digits, leading zeros,
  // case.
  bool agreesWithCollator(QCollator& c) const {
    std::vector<std::string> names;
    const std::string alphabet = " !#$%&'()+,-.;=@[]^_`{}~0123456789abcdefghijklmnopqrstuvwxyzACHLZ";
    for (char a : alphabet) {
      names.emplace_back(1, a);
      for (char b : alphabet) names.push_back(std::string{a, b});
    }
    for (const char* extra : {"a0", "a00", "a01", "a1", "a001x", "a1x", "a10", "a9", "a09b",
                              "0", "00", "000", "1.0", "1.00", "1-2", "1_2", "1 2", "v1.10",
                              "v1.9", "dzs", "ch", "ll", "aa", "ae", "oe", "ij", "ss"}) {
      names.emplace_back(extra);
    }
    std::vector<std::pair<QCollatorSortKey, std::size_t>> sorted;
    sorted.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
      sorted.emplace_back(c.sortKey(toQString(names[i])), i);
    }
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& x, const auto& y) {
      return x.first.compare(y.first) < 0;
    });
    std::string previous;
    std::string current;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
      current.clear();
      if (!key(names[sorted[i].second], current)) return false;
      if (i > 0) {
        const int expected = sorted[i - 1].first.compare(sorted[i].first);
        const int actual = previous.compare(current);
        if ((expected < 0) != (actual < 0) || (expected == 0) != (actual == 0)) return false;
      }
      std::swap(previous, current);
    }
    return true;
  }

  std::array<unsigned char, 256> rank_{};
  unsigned char digits_ = 0;
  bool usable_ = false;
};

// A stable sort in parts, merged pairwise afterwards, the earlier part first on ties.
template <typename Item, typename Less>
void stableSortInParts(std::vector<Item>& items, const Less& less) {
  const std::size_t parts = partsFor(items.size());
  const auto at = [&](std::size_t part) {
    return items.begin() + static_cast<std::ptrdiff_t>(items.size() * part / parts);
  };
  inParts(items.size(), parts, [&](std::size_t part, std::size_t, std::size_t) {
    std::stable_sort(at(part), at(part + 1), less);
  });
  for (std::size_t step = 1; step < parts; step *= 2) {
    std::vector<std::future<void>> merging;
    for (std::size_t part = 0; part + step < parts; part += 2 * step) {
      const std::size_t end = std::min(part + 2 * step, parts);
      merging.push_back(inParallel(
          [&, part, step, end] { std::inplace_merge(at(part), at(part + step), at(end), less); }));
    }
    for (std::future<void>& merge : merging) merge.get();
  }
}

// Sorts by the keys of the ASCII order; false, leaving `indices` as they were, when some name
// is not covered by it.
bool stableSortByAsciiKeys(std::vector<std::size_t>& indices,
                           const std::vector<std::string_view>& names) {
  const AsciiOrder& order = AsciiOrder::shared();
  if (!order.usable()) return false;
  // The keys of each part of the names in one block of text, made side by side.
  const std::size_t count = indices.size();
  const std::size_t parts = partsFor(count);
  // Each key beside its place, so that a comparison reads the two keys and nothing else: a
  // large folder's keys do not fit the processor's caches, and every extra look-up misses.
  // `head` holds the eight bytes after the part all keys share, highest first and padded with
  // zeros (no key holds a zero byte): the names of a large folder often share a long start
  // ("IMG_", "chunk-0"), and most comparisons are then settled by one number.
  struct Keyed {
    std::uint64_t head;
    std::string_view key;
    std::size_t at;
  };
  std::vector<Keyed> keyed(count);
  std::vector<std::string> blocks(parts);
  std::atomic<bool> covered{true};
  inParts(count, parts, [&](std::size_t part, std::size_t begin, std::size_t end) {
    std::string& block = blocks[part];
    block.reserve((end - begin) * 16);
    std::vector<std::size_t> starts;
    starts.reserve(end - begin + 1);
    for (std::size_t k = begin; k < end; ++k) {
      starts.push_back(block.size());
      if (!order.key(names[indices[k]], block)) {
        covered = false;
        return;
      }
    }
    starts.push_back(block.size());
    for (std::size_t k = begin; k < end; ++k) {
      const std::size_t from = starts[k - begin];
      keyed[k] = {0, std::string_view(block).substr(from, starts[k - begin + 1] - from), k};
    }
  });
  if (!covered) return false;
  std::size_t shared = count > 0 ? keyed[0].key.size() : 0;
  for (const Keyed& each : keyed) {
    const std::string_view first = keyed[0].key.substr(0, shared);
    shared = static_cast<std::size_t>(
        std::mismatch(first.begin(), first.end(), each.key.begin(), each.key.end()).first -
        first.begin());
  }
  for (Keyed& each : keyed) {
    for (std::size_t i = 0; i < 8; ++i) {
      const std::size_t at = shared + i;
      each.head = (each.head << 8) |
                  (at < each.key.size() ? static_cast<unsigned char>(each.key[at]) : 0u);
    }
  }
  stableSortInParts(keyed, [](const Keyed& a, const Keyed& b) {
    return a.head != b.head ? a.head < b.head : a.key < b.key;
  });
  std::vector<std::size_t> reordered(count);
  for (std::size_t k = 0; k < count; ++k) reordered[k] = indices[keyed[k].at];
  indices = std::move(reordered);
  return true;
}

}  // namespace

bool sortsPlainNamesByKey() { return AsciiOrder::shared().usable(); }

int compareNames(std::string_view a, std::string_view b) {
  return collator().compare(toQString(a), toQString(b));
}

void stableSortByName(std::vector<std::size_t>& indices,
                      const std::vector<std::string_view>& names) {
  if (indices.size() < 2) return;
  if (indices.size() >= 8 && stableSortByAsciiKeys(indices, names)) return;
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
