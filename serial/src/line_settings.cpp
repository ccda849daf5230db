#include "serial/line_settings.h"

namespace tessel {

TLineSettings buildLineSettings(int32_t baudRate, eParity parity, eDataBits dataBits,
                                eStopBits stopBits, eFlowControl flow, bool checkParity,
                                uint16_t rxQueueSize) {
  TLineSettings s;
  s.baudRate = baudRate;
  s.checkParity = checkParity;
  s.flow = flow;
  s.xonLim = static_cast<uint16_t>(rxQueueSize / 3);
  s.xoffLim = static_cast<uint16_t>(rxQueueSize / 3);
  s.byteSize = dataBits == d8bit ? 8 : 7;
  s.parity = parity;
  s.stopBits = stopBits;
  return s;
}

}  // namespace tessel
