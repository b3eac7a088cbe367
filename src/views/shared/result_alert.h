#pragma once

#include <QMessageBox>

namespace hl {

// The window-modal alert titled "Cleanup finished" that shows the message of a removal or of a
// refused request, as plain text, with one "OK" button that Return and Escape both press. It is
// opened with `open()` and reports its closing by `finished`, however it was closed.
class ResultAlert : public QMessageBox {
  Q_OBJECT

 public:
  explicit ResultAlert(const QString& message, QWidget* parent = nullptr);

  void setMessage(const QString& message);
  QString message() const;
  QPushButton* okButton() const { return ok_; }

 private:
  QPushButton* ok_;
};

}  // namespace hl
