// A tool's own cleanup command, preferred to removing its cache by hand. The read-only gate and
// the tool's running applications are checked when the user asks and again when they confirm.

#include <chrono>

#include "models/owner_names.h"
#include "services/in_use/process_guard.h"
#include "utilities/text_lines.h"
#include "viewmodels/activity_log.h"
#include "viewmodels/cleaner/cleaner_view_model.h"

namespace hl {
namespace {

// Lines beyond these of one piece of output are dropped.
constexpr std::size_t kLinesPerPiece = 50;

}  // namespace

Flow<std::optional<std::string>> CleanerViewModel::runningBlocker(NativeAction action) {
  const std::vector<std::string>& owners = ProcessGuard::blockingOwners(action.tool);
  if (owners.empty()) co_return std::nullopt;
  BackgroundWait<std::optional<std::set<std::string>>> listing(
      *this, [source = dependencies_.runningOwners,
              keys = std::set<std::string>(owners.begin(), owners.end())] {
        return ProcessGuard::running(keys, source);
      });
  const std::optional<std::set<std::string>> running = co_await listing;
  if (!running) co_return "an unverifiable process list (cannot check whether its app is running)";
  for (const std::string& owner : owners) {
    if (running->contains(owner)) co_return ownerDisplayName(owner);
  }
  co_return std::nullopt;
}

void CleanerViewModel::requestAction(const CacheItem& item) {
  assertOnGuiThread();
  Batch batch(*this);
  if (!item.action) return;
  if (const auto& reason = trashService_->gate().readOnlyReason) {
    assign(resultMessage_,
           std::optional<std::string>(item.action->title() + " is unavailable: " + *reason + "."),
           Input::resultMessage);
    return;
  }
  flows_.spawn(checkAction(item));
}

Flow<> CleanerViewModel::checkAction(CacheItem item) {
  Flow<std::optional<std::string>> checking = runningBlocker(*item.action);
  const std::optional<std::string> blocker = co_await checking;
  if (!blocker) {
    assign(pendingAction_, std::optional<CacheItem>(std::move(item)), Input::pendingAction);
    co_return;
  }
  assign(resultMessage_,
         std::optional<std::string>(item.action->title() + " is unavailable while " + *blocker +
                                    " is running. Quit it and try again."),
         Input::resultMessage);
}

void CleanerViewModel::runAction(const CacheItem& item) {
  assertOnGuiThread();
  Batch batch(*this);
  assign(pendingAction_, std::optional<CacheItem>{}, Input::pendingAction);
  if (!item.action) return;
  const NativeAction& action = *item.action;
  // One command per tool at a time; a second confirmation is ignored.
  if (runningActions_.contains(action.id())) return;
  const DestructiveGate gate = trashService_->gate();
  if (gate.readOnlyReason) {
    activity_.log(ActivityEvent::Kind::error,
                  action.commandLine() + " refused: " + *gate.readOnlyReason);
    assign(resultMessage_,
           std::optional<std::string>(action.title() + " was not run: " + *gate.readOnlyReason +
                                      "."),
           Input::resultMessage);
    return;
  }
  runningActions_.insert(action.id());
  changed(Input::runningActions);
  activity_.log(ActivityEvent::Kind::tool, "$ " + action.commandLine());
  flows_.spawn(runTool(item, gate));
}

Flow<> CleanerViewModel::runTool(CacheItem item, DestructiveGate gate) {
  const NativeAction action = *item.action;
  const std::string command = action.commandLine();
  Flow<std::optional<std::string>> checking = runningBlocker(action);
  const std::optional<std::string> blocker = co_await checking;
  if (blocker) {
    runningActions_.erase(action.id());
    changed(Input::runningActions);
    activity_.log(ActivityEvent::Kind::error, command + " refused: " + *blocker + " is running");
    assign(resultMessage_,
           std::optional<std::string>(action.title() + " was not run: " + *blocker +
                                      " is running."),
           Input::resultMessage);
    co_return;
  }

  BackgroundWait<std::optional<ProcessOutput>> running(
      *this, [run = dependencies_.runTool, action, gate, post = poster()] {
        // Called on the runner's threads: each piece's lines travel together, in order.
        return run(action, gate, [post](std::string_view piece) {
          std::vector<std::string> lines;
          for (std::string_view line : splitLines(piece)) {
            if (lines.size() == kLinesPerPiece) break;
            lines.emplace_back(line);
          }
          if (lines.empty()) return;
          post([lines = std::move(lines)](CleanerViewModel& model) {
            for (const std::string& line : lines) model.activity_.log(ActivityEvent::Kind::tool, line);
          });
        });
      });
  const std::optional<ProcessOutput> output = co_await running;

  runningActions_.erase(action.id());
  changed(Input::runningActions);
  if (output && output->succeeded()) {
    activity_.log(ActivityEvent::Kind::tool, command + " finished");
  } else {
    activity_.log(ActivityEvent::Kind::error,
                  command + " failed" + (output && output->timedOut ? " (timed out)" : ""));
  }
  // Measured afresh by the next scan, which keeps showing the old size until then.
  engine_->forget({item.id});
  rescan(false);
  if (onDiskChanged_) onDiskChanged_();
}

}  // namespace hl
