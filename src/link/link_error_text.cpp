#include "link/link_error_text.h"

#include "link/comm_log.h"

#include <QHash>

namespace orva {
namespace {

const QHash<int, QString>& FixedMessages() {
  static const QHash<int, QString> kMessages = {
      {2, QStringLiteral("Address is not a RS232 address")},
      {3, QStringLiteral("TX error")},
      {11, QStringLiteral("Wrong TCP function id")},
      {12, QStringLiteral("Wrong TCP protocolversion")},
      {13, QStringLiteral("Wrong TCP request id")},
      {14, QStringLiteral("Wrong Password")},
      {15, QStringLiteral("Password could not be saved")},
      {16, QStringLiteral("Password not sent yet")},
      {17, QStringLiteral("TCP/IP packet too short")},
      {44, QStringLiteral("Firmware upgrade required. Minimum is V%1.%2")
               .arg(3)
               .arg(11, 2, 10, QLatin1Char('0'))},
      {55, QStringLiteral("Port not open")},
      {56, QStringLiteral("Port already open")},
      {57, QStringLiteral("Cannot connect to Ethernet interface")},
      {63, QStringLiteral("PDA-command error")},
      {84, QStringLiteral("Cannot close")},
      {98, QStringLiteral("Timed out")},
      {99, QStringLiteral("Procedure interrupted")},
      {100, QStringLiteral("Undefined communication error")},
      {101, QStringLiteral("Only \"R\" or \"W\" possible")},
      {102, QStringLiteral("Wrong number")},
      {103, QStringLiteral("Wrong offset")},
      {104, QStringLiteral("Invalid DATA length")},
      {105, QStringLiteral("Data out of range")},
      {106, QStringLiteral("Invalid serial number")},
      {107, QStringLiteral("The module did not respond within .5s")},
      {111, QStringLiteral("Invalid mode")},
      {112, QStringLiteral("Invalid address")},
      {113, QStringLiteral("Invalid preset number")},
      {114, QStringLiteral("Invalid switch block number")},
      {115, QStringLiteral("Invalid index. Memory Full?")},
      {116, QStringLiteral("Only \"I\" or \"O\" possible")},
      {127, QStringLiteral("Bus receive error")},
      {128, QStringLiteral("Bus check error")},
      {129, QStringLiteral("Bus data corrupt")},
      {130, QStringLiteral("Module Power error")},
      {150, QStringLiteral("Wrong token")},
      {151, QStringLiteral("KTX not connected to Cloud")},
      {152, QStringLiteral("KTX_Cloud connection unknown result")},
      {201, QStringLiteral("Verify error")},
      {202, QStringLiteral("Address verify error")},
      {220, QStringLiteral("Wrong Module Type")},
      {221, QStringLiteral("Wrong file number")},
      {222, QStringLiteral("File length > 253")},
      {223, QStringLiteral("Wrong packet length")},
      {224, QStringLiteral("Slave device failure")},
      {225, QStringLiteral("Wrong address(es)")},
      {248, QStringLiteral("CRC Error")},
      {249, QStringLiteral("TCP TX packet too long")},
      {250, QStringLiteral("Echo OK. But wrong End Character or Data too long")},
      {251, QStringLiteral("Echo Error")},
      {252, QStringLiteral("Receive time-out")},
      {253, QStringLiteral("Transmit time-out")},
      {254, QStringLiteral("Communication error")},
  };
  return kMessages;
}

QString ModuleNotFound(const std::optional<Module>& module) {
  if (!module) return QStringLiteral("Module not found");
  return QStringLiteral("Module ") + module->serial.trimmed() + QStringLiteral(": ") +
         module->place.trimmed() + QStringLiteral(" not found");
}

QString CommandFailed(int last_command, const std::optional<Module>& module,
                      const TextLookup& lookup_text) {
  switch (last_command) {
    case 40:
    case 41:
    case 42:
      return ModuleNotFound(module);
    case 234:
      return QStringLiteral("Error 255");
    case 9:
    case 12:
    case 68:
    case 72:
      return QStringLiteral("Error on command %1: %2 error !")
          .arg(QString::number(last_command), lookup_text(TextKey::kNoAnswerFromController));
    default:
      return QStringLiteral("Error on command %1: %2")
          .arg(QString::number(last_command), CommandName(last_command));
  }
}

}  // namespace

QString LinkErrorMessage(int code, int last_command, const std::optional<Module>& module,
                         const TextLookup& lookup_text) {
  if (code == 0) return lookup_text(TextKey::kCommunication);
  if (code == 255) return CommandFailed(last_command, module, lookup_text);
  return FixedMessages().value(code, QStringLiteral("Unknown error"));
}

QString LinkErrorLine(int code, int last_command, const std::optional<Module>& module,
                      const TextLookup& lookup_text) {
  return LinkErrorMessage(code, last_command, module, lookup_text) +
         QStringLiteral(" (Err%1)").arg(code);
}

}  // namespace orva
