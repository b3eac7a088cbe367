#pragma once

#include <QMessageBox>
#include <memory>

#include "app/relocation/relocation_system.h"

namespace hl {

// The relocation step's questions as application-modal alerts with the program's icon.
class RelocationAlerts final : public RelocationPrompts {
 public:
  bool askUserToMove() override;
  void presentFailure(const std::string& destination) override;
  void presentRelaunchFailure(const std::string& destination) override;

  // The alerts themselves, built but not shown. In the offer "Not Now" comes first and is the
  // default (Return and Escape choose it); "Move to Applications Folder" comes second.
  static std::unique_ptr<QMessageBox> moveOffer();
  static bool choseMove(const QMessageBox& offer);
  static std::unique_ptr<QMessageBox> failureAlert();
  static std::unique_ptr<QMessageBox> relaunchFailureAlert(const std::string& destination);
};

}  // namespace hl
