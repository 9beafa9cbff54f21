// One call to logind per lock; the lock lives in the file descriptor it returns.
#include "qt/qt_dbus_inhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QString>

#include "jobs/logind_inhibit.h"

namespace korva::qt {
namespace {

// The name of the connection to a bus given by its address, for QDBusConnection's registry.
constexpr const char* kPrivateConnection = "korva-updater-inhibit";

QString Latin1(const char* text) { return QString::fromLatin1(text); }

// The reply's error as one line: its message and its name.
std::string ErrorText(const QDBusMessage& reply) {
  return reply.errorMessage().toStdString() + " (" + reply.errorName().toStdString() + ")";
}

std::unique_ptr<Inhibition> CallInhibit(QDBusConnection connection, std::string& problem) {
  if (!connection.isConnected()) {
    problem = "no system bus: " + connection.lastError().message().toStdString();
    return nullptr;
  }
  if (!(connection.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing)) {
    problem = "the system bus cannot hand over the lock's file descriptor";
    return nullptr;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(
      Latin1(kLogindService), Latin1(kLogindPath), Latin1(kLogindManager), Latin1(kLogindInhibit));
  call << Latin1(kInhibitWhat) << Latin1(kInhibitWho) << Latin1(kInhibitWhy)
       << Latin1(kInhibitMode);
  const QDBusMessage reply = connection.call(call, QDBus::Block, kInhibitCallTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage) {
    problem = "logind did not give the lock: " + ErrorText(reply);
    return nullptr;
  }
  const auto fd = qvariant_cast<QDBusUnixFileDescriptor>(reply.arguments().value(0));
  if (!fd.isValid()) {
    problem = "logind's answer holds no file descriptor";
    return nullptr;
  }
  // The reply's descriptor closes with the reply: the lock keeps a duplicate.
  return FdInhibition::Duplicate(fd.fileDescriptor(), problem);
}

}  // namespace

std::unique_ptr<Inhibition> QtDBusInhibitor::Inhibit(std::string& problem) {
  if (busAddress_.empty()) return CallInhibit(QDBusConnection::systemBus(), problem);
  std::unique_ptr<Inhibition> lock =
      CallInhibit(QDBusConnection::connectToBus(QString::fromStdString(busAddress_),
                                                Latin1(kPrivateConnection)),
                  problem);
  QDBusConnection::disconnectFromBus(Latin1(kPrivateConnection));
  return lock;
}

}  // namespace korva::qt
