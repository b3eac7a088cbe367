#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace hl {

class DestructiveButton;
class ElidedLabel;
class PanelSection;
class ScannerViewModel;
class SelectableText;

// The folder scanner's sidebar: "Choose Folder…", the hidden-files toggle, and the sections
// Folder (once a folder was chosen), Progress (while a scan runs) and Selection (while rows are
// selected), each drawn from the view model whenever it changes.
class ScannerSidebar : public QWidget {
  Q_OBJECT

 public:
  explicit ScannerSidebar(ScannerViewModel& scanner, QWidget* parent = nullptr);

  QPushButton* chooseFolderButton() const { return choose_; }
  QCheckBox* includeHiddenToggle() const { return includeHidden_; }
  PanelSection* folderSection() const { return folder_; }
  SelectableText* folderPath() const { return folderPath_; }
  QLabel* folderTotals() const { return folderTotals_; }
  QLabel* skippedSummary() const { return skipped_; }
  PanelSection* progressSection() const { return progress_; }
  QLabel* progressLine() const { return progressLine_; }
  ElidedLabel* currentPath() const { return currentPath_; }
  QPushButton* stopButton() const { return stop_; }
  PanelSection* selectionSection() const { return selection_; }
  QLabel* selectionLine() const { return selectionLine_; }
  DestructiveButton* removeButton() const { return remove_; }

 signals:
  // "Choose Folder…" started a scan of the folder the user chose.
  void scanChosen();

 protected:
  // The removal mode is a setting changed on another page: read again when the page returns.
  void showEvent(QShowEvent* event) override;

 private:
  void showFolder();
  void showProgress();
  void showSelection();

  ScannerViewModel& scanner_;
  QPushButton* choose_;
  QCheckBox* includeHidden_;
  PanelSection* folder_;
  SelectableText* folderPath_;
  QLabel* folderTotals_;
  QLabel* skipped_;
  PanelSection* progress_;
  QProgressBar* bar_;
  QLabel* progressLine_;
  ElidedLabel* currentPath_;
  QPushButton* stop_;
  PanelSection* selection_;
  QLabel* selectionLine_;
  DestructiveButton* remove_;
};

}  // namespace hl
