#include "link/link_serial.h"

#include "serial/tserial.h"

namespace tessel {

void configureLinkSerial(TSerial& serial) {
  serial.setNotifyErrors(neNone);
  serial.setWaitOnTxFull(false);
  serial.setTimeout(500);
}

}  // namespace tessel
