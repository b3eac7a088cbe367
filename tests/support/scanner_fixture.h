#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "support/fake_home.h"
#include "support/manual_clock.h"
#include "support/manual_task_queue.h"
#include "support/recording_desktop.h"
#include "support/test_environment.h"
#include "utilities/path_canonical.h"
#include "viewmodels/activity_log.h"
#include "viewmodels/history_view_model.h"
#include "viewmodels/scanner/scanner_view_model.h"
#include "viewmodels/settings_store.h"

namespace hl::test {

// A policy that refuses what the test lists, read when the check runs, and records each check.
struct FakePolicy {
  struct Call {
    std::vector<std::string> urls;
    std::string scanRoot;
    std::set<std::string> worktreeRoots;
    bool includeOpenFiles = false;
  };
  std::map<std::string, std::string> refusals;  // by canonical path
  std::set<std::string> shellSnapshotsVerified;
  std::map<std::string, std::set<std::string>> pruneRepositories;
  std::vector<Call> calls;

  ScannerServices::PolicyFactory factory() {
    return [this](bool includeOpenFiles) -> ScannerServices::PolicyCheck {
      return [this, includeOpenFiles](const std::vector<std::string>& urls,
                                      const std::string& scanRoot,
                                      const std::set<std::string>& worktreeRoots) {
        calls.push_back({urls, scanRoot, worktreeRoots, includeOpenFiles});
        ScanTrashPolicy::Verdict verdict;
        for (const std::string& url : urls) {
          const std::string id = PathCanonical::canonical(url);
          if (auto reason = refusals.find(id); reason != refusals.end()) {
            verdict.refusals[id] = reason->second;
            continue;
          }
          if (shellSnapshotsVerified.count(id)) verdict.shellSnapshotsVerified.insert(id);
          if (auto prune = pruneRepositories.find(id); prune != pruneRepositories.end()) {
            verdict.pruneRepositories[id] = prune->second;
          }
        }
        return verdict;
      };
    };
  }
};

// A trash service that removes nothing: every item succeeds unless the test lists a failure.
struct FakeTrash {
  std::vector<std::vector<TrashItem>> calls;
  std::vector<RemovalMode> modes;
  std::map<std::string, RemovalError> failures;  // by URL
  // Called as a removal starts, before any item is handled.
  std::function<void()> onRemove;

  ScannerServices::Remover remover() {
    return [this](const std::vector<TrashItem>& items, RemovalMode mode,
                  const FreedesktopTrash::ReservationNote&) {
      if (onRemove) onRemove();
      calls.push_back(items);
      modes.push_back(mode);
      TrashResult result;
      result.mode = mode;
      for (const TrashItem& item : items) {
        if (auto failure = failures.find(item.url); failure != failures.end()) {
          result.failed.push_back({item.url, failure->second});
          continue;
        }
        result.succeeded.push_back(item.url);
        result.sizes[PathCanonical::canonical(item.url)] = item.size;
        result.bytesFreed += item.size;
      }
      return result;
    };
  }
};

struct ScannerFixture {
  FakeHome home{"scanned"};
  ActivityLog activity;
  std::shared_ptr<HistoryStore> store =
      std::make_shared<HistoryStore>(makeScratchFolder("history") + "/history.json");
  HistoryViewModel history{store, activity};
  std::unique_ptr<SettingsStore> settings =
      std::make_unique<SettingsStore>(makeScratchFolder("settings") + "/Harborlume.conf");
  ManualTaskQueue executor;
  ManualWallClock clock{referenceDate()};
  FakePolicy policy;
  FakeTrash trash;
  std::vector<std::string> pruned;
  bool pruneSucceeds = true;
  RecordingDesktop desktop;
  std::optional<std::string> chosen;
  int diskChanges = 0;
  ScannerServices services = standardServices();
  std::unique_ptr<ScannerViewModel> made;

  ScannerServices standardServices() {
    ScannerServices s;
    s.home = home.path();
    s.gate = DestructiveGate::open();
    s.trash = trash.remover();
    s.makePolicy = policy.factory();
    s.pruneWorktrees = [this](const std::string& repository, const DestructiveGate&) {
      pruned.push_back(repository);
      return pruneSucceeds;
    };
    s.chooseFolder = [this] { return chosen; };
    s.executor = executor.executor();
    s.clock = clock.clock();
    s.desktop = &desktop;
    return s;
  }

  // The view model, made on first use with the services as the test left them.
  ScannerViewModel& scanner() {
    if (!made) {
      made = std::make_unique<ScannerViewModel>(activity, history, settings.get(), services);
      made->setOnDiskChanged([this](const TrashResult&) { ++diskChanges; });
    }
    return *made;
  }

  // Runs every queued piece of work and delivers its results, until nothing is left to do.
  void settle() {
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < 20000) {
      QCoreApplication::processEvents();
      if (executor.run()) continue;
      if (!scanner().isTrashing()) {
        QCoreApplication::processEvents();
        if (executor.pending() == 0) return;
        continue;
      }
      // A removal waits for the history file, written on its own thread.
      QTimer wake;
      wake.start(100);
      QEventLoop().processEvents(QEventLoop::WaitForMoreEvents);
    }
    ADD_FAILURE() << "the folder scanner did not settle";
  }

  // Waits until work is queued for the executor: the history and the removal journal are
  // written on their own thread, and what follows is queued once they are.
  void waitForQueuedWork() {
    for (int rounds = 0; executor.pending() == 0 && rounds < 1000; ++rounds) {
      QTimer wake;
      wake.start(100);
      QEventLoop().processEvents(QEventLoop::WaitForMoreEvents);
    }
  }

  // Scans a folder of the fake home and lets the scan and its first preview finish.
  void scanned(const std::string& relative = "") {
    scanner().scan(relative.empty() ? home.path() : home / relative);
    settle();
  }

  std::string id(const std::string& relative) const {
    return PathCanonical::canonical(home / relative);
  }

  std::vector<std::string> logged(std::optional<ActivityEvent::Kind> kind = std::nullopt) const {
    std::vector<std::string> lines;
    for (const ActivityEvent& event : activity.events()) {
      if (!kind || event.kind == *kind) lines.push_back(event.message);
    }
    return lines;
  }
};

}  // namespace hl::test
