#pragma once
// For tests: the window's controls as they stand right after a load;
// installed settings with given shop folders.

#include <string>

#include "config/settings.h"

namespace tillgate {

inline Settings InstalledWithFolders(const std::string& goods, const std::string& reports) {
  Settings settings;
  settings.installed = true;
  settings.store_goods_folder = goods;
  settings.store_report_folder = reports;
  return settings;
}

inline SaveControls ControlsAsLoaded(const Settings& settings) {
  SaveControls controls;
  controls.connect_checked = settings.connect_checked;
  controls.start_checked = settings.start_checked;
  controls.goods_field = settings.goods_folder;
  controls.report_field = settings.report_folder;
  controls.auto_start_checked = settings.auto_start == 1;
  return controls;
}

}  // namespace tillgate
