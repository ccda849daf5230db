#include "serial/net_address.h"

#include <cctype>

#include "seams/settings_store.h"

namespace tessel {

namespace {

constexpr const char* kRfc2217Scheme = "rfc2217://";
constexpr const char* kRawScheme = "tcp://";

bool startsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

}  // namespace

bool isNetAddress(const std::string& text) {
  return startsWith(text, kRfc2217Scheme) || startsWith(text, kRawScheme);
}

bool parseNetAddress(const std::string& text, NetAddress& address, std::string& error) {
  NetAddress a;
  a.text = text;
  std::string rest;
  if (startsWith(text, kRfc2217Scheme)) {
    a.kind = NetAddress::Rfc2217;
    rest = text.substr(std::char_traits<char>::length(kRfc2217Scheme));
  } else if (startsWith(text, kRawScheme)) {
    a.kind = NetAddress::Raw;
    rest = text.substr(std::char_traits<char>::length(kRawScheme));
  } else {
    error = text + " is not a network port: it must be rfc2217://HOST:PORT or tcp://HOST:PORT";
    return false;
  }
  const auto fail = [&](const std::string& why) {
    error = text + " is not a valid network port address: " + why;
    return false;
  };
  std::string port;
  if (!rest.empty() && rest.front() == '[') {  // [IPv6]:port
    const auto close = rest.find(']');
    if (close == std::string::npos) return fail("the ] of the IPv6 address is missing");
    a.host = rest.substr(1, close - 1);
    if (rest.compare(close + 1, 1, ":") != 0) return fail("the port number is missing");
    port = rest.substr(close + 2);
  } else {
    const auto colon = rest.rfind(':');
    if (colon == std::string::npos) return fail("the port number is missing");
    a.host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
    if (a.host.find(':') != std::string::npos)
      return fail("an IPv6 address goes in brackets, [::1]:4001");
  }
  if (a.host.empty()) return fail("the host is missing");
  for (unsigned char c : a.host)
    if (c <= ' ' || c == '/' || c >= 0x7f)
      return fail("the host holds a character no host name has");
  if (port.empty() || port.size() > 5) return fail("the port must be a number from 1 to 65535");
  long value = 0;
  for (unsigned char c : port) {
    if (!std::isdigit(c)) return fail("the port must be a number from 1 to 65535");
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return fail("the port must be a number from 1 to 65535");
  a.service = std::to_string(value);
  address = std::move(a);
  return true;
}

std::string netPortDescription(const NetAddress& address) {
  if (address.kind == NetAddress::Raw)
    return address.text + ": raw TCP, the line settings are the server's";
  return address.text + ": network port, line settings through RFC 2217";
}

bool setComNetAddress(int port, const std::string& address, SettingsStore& settings,
                      std::string& error) {
  if (port < 1 || port > 9) {
    error = "Choose a port number from 1 to 9 first.";
    return false;
  }
  NetAddress parsed;
  if (!address.empty() && !parseNetAddress(address, parsed, error)) return false;
  const std::string key = "COM" + std::to_string(port);
  const std::string kept = key + " device";
  std::string held, device;
  const bool holds = settings.readString(key, held);
  // Clearing the address leaves a device path (a pinned adapter) alone.
  if (address.empty() && (!holds || !isNetAddress(held))) return true;
  // An address over a device path keeps the path, which comes back when
  // the address is cleared.
  if (!address.empty() && holds && !held.empty() && !isNetAddress(held) &&
      !settings.writeString(kept, held)) {
    error = "The setting " + kept + " could not be written.";
    return false;
  }
  std::string value = address;
  if (address.empty() && settings.readString(kept, device) && !device.empty()) {
    value = device;
    settings.writeString(kept, "");
  }
  if (!settings.writeString(key, value)) {
    error = "The setting " + key + " could not be written.";
    return false;
  }
  return true;
}

}  // namespace tessel
