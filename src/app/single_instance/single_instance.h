#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

class QLocalServer;
class QLocalSocket;

namespace hl {

// Keeps one program per user session: a later launch asks the running one, through a local
// socket in the user's private runtime folder, to show its window, and ends. Without such a
// folder, and in a process that hosts tests, every launch simply starts. GUI thread only.
class SingleInstance : public QObject {
  Q_OBJECT

 public:
  struct Environment {
    // The user's private runtime folder; none when there is no usable one.
    std::optional<std::string> runtimeFolder;
    bool hostingTests = false;

    // $XDG_RUNTIME_DIR and the test-host variable "XCTestConfigurationFilePath" of this process.
    static Environment current();
  };

  enum class Claim {
    primary,          // no other instance: this launch starts (and listens, when it can)
    handedOver,       // the running instance shows its window: this launch ends, status 0
    refusedReadOnly,  // read-only was asked for but the running instance is writable
    noAnswer,         // an instance is there but gave no answer
  };

  static constexpr const char* socketName = "harborlume.socket";

  // `value` when it names a folder that is usable for the socket: an absolute path to a folder
  // of this user that no one else may enter, short enough for a socket path in it.
  static std::optional<std::string> usableRuntimeFolder(const char* value);

  // What a launch that ends prints, by its claim; empty for the claims that go on or end well.
  static QString message(Claim claim);

  // `isReadOnly` tells, when asked, whether this process runs read-only. `showWindow` brings the
  // window forward when a later launch asks for it.
  SingleInstance(Environment environment, std::function<bool()> isReadOnly,
                 std::function<void()> showWindow, QObject* parent = nullptr);
  ~SingleInstance() override;

  // Once, at launch, before any window exists. While it waits for the running instance's answer
  // (at most `patience`), it runs the event loop.
  Claim claim(std::chrono::milliseconds patience = std::chrono::seconds(5));

  bool isListening() const;
  // Where the socket is, or would be; empty without a runtime folder.
  std::string socketPath() const;

 private:
  enum class Contact { nobody, stale, unreachable, answered, silent };
  struct Reply {
    Contact contact = Contact::nobody;
    QByteArray line;
  };

  Reply ask(const QByteArray& request, std::chrono::milliseconds patience) const;
  bool listen();
  void serve(QLocalSocket* connection);

  Environment environment_;
  std::function<bool()> isReadOnly_;
  std::function<void()> showWindow_;
  QLocalServer* server_ = nullptr;
};

}  // namespace hl
