#include "views/pages/scanner/scanner_texts.h"

#include <QLocale>

#include "utilities/byte_formatting.h"
#include "utilities/path_canonical.h"
#include "views/shared/confirm_trash_texts.h"
#include "views/shared/text.h"

namespace hl::ScannerTexts {

namespace {

const QString kApproximate = QStringLiteral("\u2248 ");

// A size whose sign, number and unit stay on one line when a label wraps.
QString bytes(std::int64_t size, bool approximate) {
  QString text = (approximate ? kApproximate : QString()) + qtext(ByteFormatting::string(size));
  return text.replace(QLatin1Char(' '), QChar::Nbsp);
}

}  // namespace

QString grouped(std::int64_t count) { return QLocale().toString(static_cast<qlonglong>(count)); }

QString folderTotals(std::int64_t size, std::int64_t fileCount, bool approximate) {
  return bytes(size, approximate) + QStringLiteral(" \u00b7 ") + grouped(fileCount) +
         QStringLiteral(" files");
}

QString progressLine(std::int64_t itemsVisited, std::int64_t bytesScanned, bool approximate) {
  return grouped(itemsVisited) + QStringLiteral(" items \u00b7 ") +
         bytes(bytesScanned, approximate);
}

QString selectionLine(std::size_t count, std::int64_t size) {
  return QString::number(count) + QStringLiteral(" items \u00b7 ") + bytes(size, false);
}

QString selectionButtonTitle(bool readOnly, bool deletesImmediately) {
  if (readOnly) return QStringLiteral("Read-only mode");
  return deletesImmediately ? QStringLiteral("Delete Selected Immediately\u2026")
                            : QStringLiteral("Move Selected to Trash\u2026");
}

bool selectionButtonEnabled(std::size_t existingRows, bool isTrashing, bool readOnly) {
  return existingRows > 0 && !isTrashing && !readOnly;
}

QString emptyDescription(const std::optional<std::string>& errorMessage) {
  if (errorMessage) return qtext(*errorMessage);
  return QStringLiteral("See what takes up space, largest first. Symbolic links are not followed.");
}

QString headerSize(std::int64_t size, bool approximate) { return bytes(size, approximate); }

QString selectAllHelp() {
  return QStringLiteral(
      "Selects every top-level row except locked ones (in use, protected, review-only or an "
      "unclean worktree). Ctrl+A in the list selects every row.");
}

std::vector<TableInteractions::MenuEntry> menu(std::size_t idCount, bool isReadOnly,
                                               bool isTrashing, RemovalMode removalMode) {
  using Entry = TableInteractions::MenuEntry;
  if (idCount == 0) return {};
  return {
      Entry{Entry::Action::reveal, "Open Containing Folder"},
      Entry{Entry::Action::copyPaths, idCount == 1 ? "Copy Path" : "Copy Paths"},
      Entry{Entry::Action::divider, ""},
      Entry{Entry::Action::remove, std::string(actionTitle(removalMode)) + "\u2026",
            !isReadOnly && !isTrashing, true},
  };
}

std::vector<std::string> lockedWarnings(int refused) {
  if (refused < 1) return {};
  return {std::to_string(refused) +
          " selected item(s) are locked (in use, protected, review-only or an unclean worktree) "
          "and are left out."};
}

ConfirmTrashSheet::Contents sheetContents(const std::vector<FileNode>& plan, RemovalMode mode,
                                          int refusedCount, bool isReadOnly,
                                          const std::string& home) {
  ConfirmTrashSheet::Contents contents;
  const bool permanent = isPermanent(mode);
  contents.title = ConfirmTrashTexts::title(plan.size(), permanent);
  for (const FileNode& node : plan) {
    contents.rows.push_back({node.id(), std::string(node.name()),
                             abbreviatedPath(node.url(), home), node.size(), {}});
    contents.totalSize += node.size();
  }
  contents.warnings = lockedWarnings(refusedCount);
  contents.isReadOnly = isReadOnly;
  contents.isPermanent = permanent;
  return contents;
}

std::string planKey(const std::vector<FileNode>& plan) {
  std::string key;
  for (std::size_t i = 0; i < plan.size(); ++i) {
    if (i > 0) key += "|";
    key += plan[i].id();
  }
  return key;
}

std::vector<std::string> previewIDs(const std::set<std::string>& selection, std::size_t limit) {
  std::vector<std::string> ids;
  for (const std::string& id : selection) {
    if (ids.size() == limit) break;
    ids.push_back(id);
  }
  return ids;
}

}  // namespace hl::ScannerTexts
