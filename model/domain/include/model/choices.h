#pragma once

// The choices of a radio's settings. Each enumeration lists its values in
// the order of its project key's texts and of the selector that shows it,
// so a value's number is its item there; unset (-1) is a setting no text
// or item gave. itemOf and choiceOf turn a value into an item and back
// where a key's texts or a selector are indexed.

namespace tessel {

enum class RadioMode { unset = -1, master, slave, repeater };  // letters "MSR"
enum class Roaming { unset = -1, allowed, masterID };          // letters "YN"
enum class YesNo { unset = -1, yes, no };                      // repeaters, re-broadcast
enum class Parity { unset = -1, even, odd, none };             // letters "EON"
enum class Handshake { unset = -1, none, hardware };           // letters "NH"
enum class AutoRouting { unset = -1, disable, modbus, df1 };
enum class BufferMode { unset = -1, character, packet };  // letters "CP"

// A choice's item in its key's texts and its selector.
template <typename Choice>
constexpr int itemOf(Choice c) {
  return static_cast<int>(c);
}
// The choice at item; unset for a negative item (none chosen).
template <typename Choice>
constexpr Choice choiceOf(int item) {
  return item < 0 ? Choice::unset : static_cast<Choice>(item);
}

// Item indices of the choice controls, in selector order: what the panel's
// entry rules compare a selector's index with.
namespace item {
constexpr int master = itemOf(RadioMode::master), slave = itemOf(RadioMode::slave),
              repeater = itemOf(RadioMode::repeater);
constexpr int roamingAllowed = itemOf(Roaming::allowed),
              roamingMasterID = itemOf(Roaming::masterID);
constexpr int yes = itemOf(YesNo::yes), no = itemOf(YesNo::no);
constexpr int parityEven = itemOf(Parity::even), parityOdd = itemOf(Parity::odd),
              parityNone = itemOf(Parity::none);
constexpr int handshakeNone = itemOf(Handshake::none),
              handshakeHardware = itemOf(Handshake::hardware);
constexpr int protocolDisable = itemOf(AutoRouting::disable),
              protocolModbus = itemOf(AutoRouting::modbus), protocolDF1 = itemOf(AutoRouting::df1);
constexpr int bufferCharacter = itemOf(BufferMode::character),
              bufferPacket = itemOf(BufferMode::packet);
}  // namespace item

}  // namespace tessel
