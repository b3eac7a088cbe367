#include "app/single_instance/single_instance.h"

#include <gtest/gtest.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "support/test_environment.h"

namespace hl {
namespace {

using Claim = SingleInstance::Claim;

// A private runtime folder of this test.
std::string privateFolder() {
  const std::string folder = test::makeScratchFolder("runtime");
  ::chmod(folder.c_str(), 0700);
  return folder;
}

SingleInstance::Environment in(const std::string& folder) {
  return {folder, false};
}

bool isSocket(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
}

// A socket file that nothing listens on any more, as a crashed instance leaves it.
void leaveStaleSocket(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(fd);
}

TEST(SingleInstance, UsesOnlyAPrivateRuntimeFolderOfThisUser) {
  const std::string base = test::makeScratchFolder("folders");
  const std::string open = base + "/open";
  const std::string closed = base + "/closed";
  ::mkdir(open.c_str(), 0755);
  ::chmod(open.c_str(), 0755);
  ::mkdir(closed.c_str(), 0700);
  std::ofstream(base + "/file") << "x";
  ::symlink(closed.c_str(), (base + "/link").c_str());
  const std::string deep = closed + "/" + std::string(100, 'd');
  ::mkdir(deep.c_str(), 0700);

  struct Row {
    const char* value;
    std::optional<std::string> usable;
  };
  const std::string file = base + "/file";
  const std::string missing = base + "/missing";
  const std::string link = base + "/link";
  const std::vector<Row> rows = {
      {nullptr, std::nullopt},
      {"", std::nullopt},
      {"relative/runtime", std::nullopt},
      {missing.c_str(), std::nullopt},
      {file.c_str(), std::nullopt},
      {open.c_str(), std::nullopt},
      {"/tmp", std::nullopt},
      {deep.c_str(), std::nullopt},  // no room for the socket's name
      {closed.c_str(), closed},
      {link.c_str(), link},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(SingleInstance::usableRuntimeFolder(row.value), row.usable)
        << (row.value ? row.value : "(unset)");
  }
}

TEST(SingleInstance, HandsOverToTheRunningInstanceUnlessReadOnlyWouldBeLost) {
  struct Row {
    bool runningReadOnly;
    bool launchReadOnly;
    Claim claim;
    int shown;
  };
  const std::vector<Row> rows = {
      {false, false, Claim::handedOver, 1},
      {false, true, Claim::refusedReadOnly, 0},
      {true, true, Claim::handedOver, 1},
      {true, false, Claim::handedOver, 1},
  };
  for (const Row& row : rows) {
    const std::string folder = privateFolder();
    int shown = 0;
    auto running = std::make_unique<SingleInstance>(
        in(folder), [&] { return row.runningReadOnly; }, [&] { ++shown; });
    ASSERT_EQ(running->claim(), Claim::primary);
    ASSERT_TRUE(running->isListening());
    EXPECT_TRUE(isSocket(folder + "/harborlume.socket"));

    int laterShown = 0;
    SingleInstance later(in(folder), [&] { return row.launchReadOnly; }, [&] { ++laterShown; });
    const std::string what =
        std::to_string(row.runningReadOnly) + std::to_string(row.launchReadOnly);
    EXPECT_EQ(later.claim(), row.claim) << what;
    EXPECT_FALSE(later.isListening()) << what;
    EXPECT_EQ(shown, row.shown) << what;
    EXPECT_EQ(laterShown, 0) << what;

    // The socket goes with the running instance, and the next launch starts on its own.
    running.reset();
    EXPECT_FALSE(isSocket(folder + "/harborlume.socket")) << what;
    SingleInstance next(in(folder), [] { return false; }, [] {});
    EXPECT_EQ(next.claim(), Claim::primary) << what;
    EXPECT_TRUE(next.isListening()) << what;
  }
  EXPECT_EQ(SingleInstance::message(Claim::refusedReadOnly).toStdString(),
            "Harbor Lume is already running without read-only mode; quit it first to start "
            "read-only.");
}

TEST(SingleInstance, StartsWhenNothingAnswersAndNeverListensOutsideAPrivateFolderOrInTests) {
  struct Row {
    std::string name;
    std::function<SingleInstance::Environment(const std::string& folder)> environment;
    std::function<void(const std::string& socket)> arrange;
    bool listening;
  };
  const std::vector<Row> rows = {
      {"nothing there", in, [](auto&) {}, true},
      {"a socket left by an instance that crashed", in, leaveStaleSocket, true},
      {"something that is not a socket is left alone", in,
       [](const std::string& socket) { std::ofstream(socket) << "keep"; }, false},
      {"a process that hosts tests",
       [](const std::string& folder) { return SingleInstance::Environment{folder, true}; },
       [](auto&) {}, false},
      {"this test process as it is",
       [](const std::string& folder) {
         ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
         return SingleInstance::Environment::current();
       },
       [](auto&) {}, false},
      {"no runtime folder",
       [](const std::string&) { return SingleInstance::Environment{std::nullopt, false}; },
       [](auto&) {}, false},
  };
  for (const Row& row : rows) {
    const std::string folder = privateFolder();
    const std::string socket = folder + "/harborlume.socket";
    row.arrange(socket);
    SingleInstance instance(row.environment(folder), [] { return false; }, [] {});
    EXPECT_EQ(instance.claim(), Claim::primary) << row.name;
    EXPECT_EQ(instance.isListening(), row.listening) << row.name;
    EXPECT_EQ(isSocket(socket), row.listening) << row.name;
    if (row.name.starts_with("something")) {
      std::ifstream kept(socket);
      EXPECT_EQ(std::string((std::istreambuf_iterator<char>(kept)), {}), "keep");
    }
  }
}

TEST(SingleInstance, AnInstanceThatGivesNoProperAnswerEndsTheLaterLaunchWithAnError) {
  struct Row {
    std::string name;
    std::function<void(QLocalSocket*)> respond;
  };
  const std::vector<Row> rows = {
      {"hangs up without a word", [](QLocalSocket* c) { c->abort(); }},
      {"answers something else",
       [](QLocalSocket* c) {
         c->write("maybe\n");
         c->disconnectFromServer();
       }},
  };
  for (const Row& row : rows) {
    const std::string folder = privateFolder();
    QLocalServer impostor;
    ASSERT_TRUE(impostor.listen(QString::fromStdString(folder + "/harborlume.socket")));
    QObject::connect(&impostor, &QLocalServer::newConnection, [&] {
      row.respond(impostor.nextPendingConnection());
    });
    SingleInstance later(in(folder), [] { return false; }, [] {});
    EXPECT_EQ(later.claim(), Claim::noAnswer) << row.name;
    EXPECT_FALSE(later.isListening()) << row.name;
  }
  EXPECT_FALSE(SingleInstance::message(Claim::noAnswer).isEmpty());
}

}  // namespace
}  // namespace hl
