#pragma once

namespace tessel {

class TSerial;

// Puts the port the link engine talks through into the settings the engine
// relies on: no error boxes of the port's own (the engine itself reports a
// port that will not open, after its retries), writes that never wait for
// room in the transmit buffer, and a 500 ms timeout. Whoever creates the
// engine's TSerial calls this before handing it over.
void configureLinkSerial(TSerial& serial);

}  // namespace tessel
