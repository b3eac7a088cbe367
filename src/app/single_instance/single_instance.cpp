#include "app/single_instance/single_instance.h"

#include <QEventLoop>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QTimer>
#include <cstdlib>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "utilities/path_canonical.h"

namespace hl {
namespace {

Q_LOGGING_CATEGORY(instanceLog, "instance")

// One line each way: the later launch asks, the running instance answers and hangs up.
const QByteArray kShow = "show";
const QByteArray kShowReadOnly = "show read-only";
const QByteArray kShown = "shown";
const QByteArray kRefused = "refused";
constexpr qint64 kLongestLine = 64;

bool isSocket(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
}

}  // namespace

SingleInstance::Environment SingleInstance::Environment::current() {
  Environment environment;
  environment.runtimeFolder = usableRuntimeFolder(std::getenv("XDG_RUNTIME_DIR"));
  environment.hostingTests = std::getenv("XCTestConfigurationFilePath") != nullptr;
  return environment;
}

std::optional<std::string> SingleInstance::usableRuntimeFolder(const char* value) {
  if (value == nullptr || value[0] != '/') return std::nullopt;
  const std::string folder = value;
  struct stat status {};
  if (::stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return std::nullopt;
  // Never a folder that others can enter, such as the shared /tmp.
  if (status.st_uid != ::getuid() || (status.st_mode & 077) != 0) return std::nullopt;
  if (appendingPath(folder, socketName).size() >= sizeof(sockaddr_un::sun_path)) {
    return std::nullopt;
  }
  return folder;
}

QString SingleInstance::message(Claim claim) {
  switch (claim) {
    case Claim::refusedReadOnly:
      return QStringLiteral(
          "Harbor Lume is already running without read-only mode; quit it first to start "
          "read-only.");
    case Claim::noAnswer:
      return QStringLiteral(
          "Harbor Lume is already running but did not answer; quit it first, or try again.");
    case Claim::primary:
    case Claim::handedOver: return {};
  }
  return {};
}

SingleInstance::SingleInstance(Environment environment, std::function<bool()> isReadOnly,
                               std::function<void()> showWindow, QObject* parent)
    : QObject(parent),
      environment_(std::move(environment)),
      isReadOnly_(std::move(isReadOnly)),
      showWindow_(std::move(showWindow)) {}

SingleInstance::~SingleInstance() {
  // Closing removes the socket, so the next launch starts at once.
  if (server_ != nullptr) server_->close();
}

bool SingleInstance::isListening() const {
  return server_ != nullptr && server_->isListening();
}

std::string SingleInstance::socketPath() const {
  if (!environment_.runtimeFolder) return {};
  return appendingPath(*environment_.runtimeFolder, socketName);
}

SingleInstance::Claim SingleInstance::claim(std::chrono::milliseconds patience) {
  if (environment_.hostingTests || !environment_.runtimeFolder || server_ != nullptr) {
    return Claim::primary;
  }
  const QByteArray request = isReadOnly_() ? kShowReadOnly : kShow;
  // A second round only when another launch took the socket between our look and our listen.
  for (int round = 0; round < 2; ++round) {
    const Reply reply = ask(request, patience);
    switch (reply.contact) {
      case Contact::answered:
        if (reply.line == kShown) return Claim::handedOver;
        if (reply.line == kRefused) return Claim::refusedReadOnly;
        return Claim::noAnswer;
      case Contact::silent: return Claim::noAnswer;
      case Contact::unreachable:
        qCWarning(instanceLog, "cannot reach %s; starting without a single instance",
                  socketPath().c_str());
        return Claim::primary;
      case Contact::stale:
        // Left by an instance that ended without closing. Only a socket is ever removed.
        if (!isSocket(socketPath())) {
          qCWarning(instanceLog, "%s is not a socket; starting without a single instance",
                    socketPath().c_str());
          return Claim::primary;
        }
        ::unlink(socketPath().c_str());
        break;
      case Contact::nobody: break;
    }
    if (listen()) return Claim::primary;
  }
  return Claim::primary;
}

SingleInstance::Reply SingleInstance::ask(const QByteArray& request,
                                          std::chrono::milliseconds patience) const {
  QLocalSocket socket;
  QEventLoop loop;
  bool done = false;
  bool connected = false;
  std::optional<QLocalSocket::LocalSocketError> error;
  const auto finish = [&] {
    done = true;
    loop.quit();
  };
  connect(&socket, &QLocalSocket::connected, &loop, [&] {
    connected = true;
    socket.write(request + '\n');
  });
  connect(&socket, &QLocalSocket::readyRead, &loop, [&] {
    if (socket.canReadLine() || socket.bytesAvailable() > kLongestLine) finish();
  });
  connect(&socket, &QLocalSocket::disconnected, &loop, finish);
  connect(&socket, &QLocalSocket::errorOccurred, &loop,
          [&](QLocalSocket::LocalSocketError what) {
            if (!error) error = what;
            finish();
          });
  QTimer deadline;
  deadline.setSingleShot(true);
  connect(&deadline, &QTimer::timeout, &loop, finish);

  // Failures to connect are reported at once, before the loop would run.
  socket.connectToServer(QString::fromStdString(socketPath()));
  if (!done) {
    deadline.start(patience);
    loop.exec();
  }

  Reply reply;
  if (socket.canReadLine()) {
    reply.contact = Contact::answered;
    reply.line = socket.readLine(kLongestLine + 1).trimmed();
  } else if (connected || socket.state() == QLocalSocket::ConnectedState) {
    reply.contact = Contact::silent;
  } else if (error == QLocalSocket::ServerNotFoundError) {
    reply.contact = Contact::nobody;
  } else if (error == QLocalSocket::ConnectionRefusedError) {
    reply.contact = Contact::stale;
  } else {
    reply.contact = Contact::unreachable;
  }
  socket.abort();
  return reply;
}

bool SingleInstance::listen() {
  auto* server = new QLocalServer(this);
  // No socket options: those make Qt rename a socket into place, which would silently take the
  // name from an instance that got there first. The runtime folder is private already.
  server->setSocketOptions(QLocalServer::NoOptions);
  if (!server->listen(QString::fromStdString(socketPath()))) {
    qCWarning(instanceLog, "cannot listen at %s: %s", socketPath().c_str(),
              qPrintable(server->errorString()));
    delete server;
    return false;
  }
  server_ = server;
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* connection = server_->nextPendingConnection()) serve(connection);
  });
  return true;
}

void SingleInstance::serve(QLocalSocket* connection) {
  connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
  const auto answer = [this, connection] {
    // One question per connection: whatever follows the first line is not read.
    if (connection->state() != QLocalSocket::ConnectedState) return;
    if (!connection->canReadLine()) {
      if (connection->bytesAvailable() > kLongestLine) connection->abort();
      return;
    }
    const QByteArray request = connection->readLine(kLongestLine + 1).trimmed();
    QByteArray reply;
    if (request == kShow || (request == kShowReadOnly && isReadOnly_())) {
      if (showWindow_) showWindow_();
      reply = kShown;
    } else if (request == kShowReadOnly) {
      // The later launch asked for a program that removes nothing; this one would.
      reply = kRefused;
    } else {
      reply = "unknown";
    }
    connection->write(reply + '\n');
    connection->disconnectFromServer();
  };
  connect(connection, &QLocalSocket::readyRead, connection, answer);
  if (connection->bytesAvailable() > 0) answer();
}

}  // namespace hl
