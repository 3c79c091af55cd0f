// Loading and saving the operator's configuration, in the order and with the
// existence rules the settings have always had: a value is read only when it
// exists, so a missing value keeps its default.

#include "config/settings.h"

#include "config/registry_names.h"
#include "platform/locations.h"

namespace tillgate {
namespace {

constexpr size_t kPortRecordSize = 3;  // connect, start, model

// Reads `name` into *text when it exists.
Status ReadStringIfPresent(RegistryStore& store, const char* name, std::string* text) {
  if (!store.ValueExists(name)) return Status::Ok();
  return store.ReadString(name, text);
}

Status ReadIntIfPresent(RegistryStore& store, const std::string& name, int32_t* number) {
  if (!store.ValueExists(name)) return Status::Ok();
  uint32_t dword = 0;
  Status status = store.ReadDword(name, &dword);
  if (status.ok()) *number = static_cast<int32_t>(dword);
  return status;
}

// An on/off option: any value but 0 is on.
Status ReadSwitchIfPresent(RegistryStore& store, const std::string& name, bool* on) {
  int32_t number = *on ? 1 : 0;
  Status status = ReadIntIfPresent(store, name, &number);
  if (status.ok()) *on = number != 0;
  return status;
}

Status LoadDataBase(RegistryStore& store, Settings& settings) {
  store.OpenKey(kDataBaseKey, true);  // a key that cannot be opened leaves the defaults
  Status status = ReadStringIfPresent(store, kInPathValue, &settings.goods_folder);
  if (!status.ok()) return status;
  settings.store_goods_folder = settings.goods_folder;
  status = ReadStringIfPresent(store, kOutPathValue, &settings.report_folder);
  if (!status.ok()) return status;
  settings.store_report_folder = settings.report_folder;
  int32_t track_stock = settings.track_stock ? 1 : 0;
  status = ReadIntIfPresent(store, kResValue, &track_stock);
  if (!status.ok()) return status;
  settings.track_stock = track_stock != 0;
  store.CloseKey();
  return Status::Ok();
}

Status LoadPortRecord(RegistryStore& store, int index, Settings& settings) {
  PortConfig& port = settings.ports[index];
  std::string name = PortValueName("COM", index);
  if (store.ValueExists(name)) {
    // Bytes missing from a shorter record keep their current values.
    uint8_t record[kPortRecordSize] = {port.connect, port.start, port.model};
    size_t size = 0;
    Status status = store.ReadBinary(name, record, sizeof record, &size);
    if (!status.ok()) return status;
    port.connect = record[0];
    port.start = record[1];
    port.model = record[2];
  }
  settings.connect_checked[index] = port.connect != 0;
  settings.start_checked[index] = port.connect == 1 && port.start != 0;
  return Status::Ok();
}

Status LoadPort(RegistryStore& store, int index, Settings& settings) {
  PortConfig& port = settings.ports[index];
  Status status = LoadPortRecord(store, index, settings);
  if (status.ok())
    status = ReadStringIfPresent(store, PortValueName("MASKA", index).c_str(), &port.mask);
  if (status.ok()) {
    status = ReadStringIfPresent(store, PortValueName("STROKA", index).c_str(), &port.name_lines);
  }
  if (status.ok())
    status = ReadIntIfPresent(store, PortValueName("COD_LENGTH", index), &port.split_length);
  if (status.ok())
    status = ReadStringIfPresent(store, PortValueName("DEVICE", index).c_str(), &port.device);
  if (status.ok()) status = ReadSwitchIfPresent(store, PortValueName("QUICK", index), &port.quick);
  if (status.ok())
    status = ReadSwitchIfPresent(store, PortValueName("STRICT", index), &port.strict);
  return status;
}

Status LoadEquipment(RegistryStore& store, Settings& settings) {
  store.OpenKey(kEquipmentKey, true);
  for (int i = 0; i < kPortCount; ++i) {
    Status status = LoadPort(store, i, settings);
    if (!status.ok()) return status;
  }
  settings.shown_split_length = settings.ports[1].split_length;
  settings.auto_start = 0;
  Status status = ReadIntIfPresent(store, kAvtoStartValue, &settings.auto_start);
  if (!status.ok()) return status;
  int32_t rescan = 0;
  status = ReadIntIfPresent(store, kRescanValue, &rescan);
  if (!status.ok()) return status;
  settings.rescan_seconds = static_cast<uint32_t>(rescan);
  store.CloseKey();
  return Status::Ok();
}

Status SavePort(RegistryStore& store, int index, PortConfig& port, const SaveControls& controls,
                const Settings& settings) {
  port.start = controls.start_checked[index] ? 1 : 0;
  port.connect = controls.connect_checked[index] ? 1 : 0;
  const uint8_t record[kPortRecordSize] = {port.connect, port.start, port.model};
  Status status = store.WriteBinary(PortValueName("COM", index), record, sizeof record);
  if (status.ok()) status = store.WriteString(PortValueName("MASKA", index), port.mask);
  if (status.ok()) status = store.WriteString(PortValueName("STROKA", index), port.name_lines);
  if (status.ok()) {
    status = store.WriteDword(PortValueName("COD_LENGTH", index),
                              static_cast<uint32_t>(port.split_length));
  }
  // A port on its default device needs no value: a file without one (every
  // export from Windows) stays as it is rather than gaining sixteen.
  const std::string device_name = PortValueName("DEVICE", index);
  if (status.ok() && (!port.device.empty() || store.ValueExists(device_name)))
    status = store.WriteString(device_name, DevicePath(settings, index));
  return status;
}

}  // namespace

LoadResult LoadSettings(RegistryStore& store, const std::string& working_dir) {
  LoadResult result;
  Settings& settings = result.settings;
  settings.installed = store.KeyExists(kRootKey);
  if (!settings.installed) {
    // The folder fields show the working folder; the store gets no folder,
    // so it touches no file until the program is installed.
    settings.goods_folder = working_dir;
    settings.report_folder = working_dir;
    return result;
  }
  result.status = LoadDataBase(store, settings);
  if (result.status.ok()) result.status = LoadEquipment(store, settings);
  if (!result.status.ok()) store.CloseKey();
  return result;
}

Status SaveSettings(RegistryStore& store, Settings& settings, const SaveControls& controls) {
  settings.installed = store.KeyExists(kRootKey);
  if (!settings.installed) return Status::Ok();

  store.OpenKey(kDataBaseKey, true);  // if this fails the first write reports it
  Status status = store.WriteString(kInPathValue, controls.goods_field);
  if (status.ok()) status = store.WriteString(kOutPathValue, controls.report_field);
  if (status.ok()) status = store.WriteDword(kResValue, settings.track_stock ? 1 : 0);
  store.CloseKey();
  if (!status.ok()) return status;

  store.OpenKey(kEquipmentKey, true);
  for (int i = 0; i < kPortCount && status.ok(); ++i) {
    status = SavePort(store, i, settings.ports[i], controls, settings);
  }
  if (status.ok()) status = store.WriteDword(kAvtoStartValue, controls.auto_start_checked ? 1 : 0);
  store.CloseKey();
  return status;
}

std::string DevicePath(const Settings& settings, int port_index) {
  if (port_index < 0 || port_index >= kPortCount) return "";
  const std::string& device = settings.ports[port_index].device;
  if (!device.empty()) return device;
  return DefaultDevicePath(port_index);
}

}  // namespace tillgate
