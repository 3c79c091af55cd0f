#pragma once
// Key and value names of the settings in the store.

#include <string>

namespace tillgate {

inline constexpr char kRootKey[] = "Tillgate";
inline constexpr char kDataBaseKey[] = "Tillgate\\DataBase";
inline constexpr char kEquipmentKey[] = "Tillgate\\Equipment";

inline constexpr char kInPathValue[] = "InPath";
inline constexpr char kOutPathValue[] = "OutPath";
inline constexpr char kResValue[] = "Res";
inline constexpr char kAvtoStartValue[] = "AvtoStart";
inline constexpr char kRescanValue[] = "RESCAN";

// Per-port value name: stem followed by the port number, e.g. PortValueName("COM", 0) == "COM1".
inline std::string PortValueName(const char* stem, int port_index) {
  return std::string(stem) + std::to_string(port_index + 1);
}

}  // namespace tillgate
