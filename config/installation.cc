// Installation and removal of the settings key tree.

#include "config/installation.h"

#include "config/port_config.h"
#include "config/registry_names.h"

namespace tillgate {
namespace {

Status InstallPort(RegistryStore& store, int index) {
  const uint8_t record[3] = {0, 0, kModelEkr3102F};
  Status status = store.WriteBinary(PortValueName("COM", index), record, sizeof record);
  if (status.ok()) status = store.WriteString(PortValueName("MASKA", index), kDefaultMask);
  if (status.ok()) status = store.WriteString(PortValueName("STROKA", index), kDefaultNameLines);
  return status;
}

}  // namespace

Status InstallDefaults(RegistryStore& store, const std::string& goods_folder,
                       const std::string& report_folder) {
  store.OpenKey(kRootKey, true);
  store.CloseKey();

  store.OpenKey(kDataBaseKey, true);  // a key that cannot be created fails at its first write
  Status status = store.WriteString(kInPathValue, goods_folder);
  if (status.ok()) status = store.WriteString(kOutPathValue, report_folder);
  store.CloseKey();
  if (!status.ok()) return status;

  store.OpenKey(kEquipmentKey, true);
  for (int i = 0; i < kPortCount && status.ok(); ++i) status = InstallPort(store, i);
  if (status.ok()) status = store.WriteDword(kAvtoStartValue, 0);
  store.CloseKey();
  return status;
}

bool RemoveInstallation(RegistryStore& store) { return store.DeleteKey(kRootKey); }

}  // namespace tillgate
