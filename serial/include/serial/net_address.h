#pragma once

#include <string>

namespace tessel {

class SettingsStore;

// A serial port reached over the network: "rfc2217://HOST:PORT" (Telnet with
// serial port control, as device servers and ser2net offer it) or
// "tcp://HOST:PORT" (the bytes alone; the server keeps its line settings).
struct NetAddress {
  enum Kind { None, Rfc2217, Raw };
  Kind kind = None;
  std::string host;     // without the brackets of an IPv6 literal
  std::string service;  // the port number as text, 1..65535
  std::string text;     // as given, for messages
};

// Whether text names a network port at all (by its scheme), well formed or not.
bool isNetAddress(const std::string& text);

// Parses text; false with error set (naming text) when it is no valid address.
bool parseNetAddress(const std::string& text, NetAddress& address, std::string& error);

// How the COM port dialog shows a network port: the address and what it does
// with the line settings.
std::string netPortDescription(const NetAddress& address);

// Maps COM<port> to a network address through the per-user setting
// "COM<port>"; an empty address removes the mapping: the device path the
// address replaced (kept as "COM<port> device") comes back, else the
// device list applies again. False with error set when the address is not
// valid or a setting could not be written.
bool setComNetAddress(int port, const std::string& address, SettingsStore& settings,
                      std::string& error);

}  // namespace tessel
