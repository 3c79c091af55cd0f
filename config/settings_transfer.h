#pragma once
// Settings moved between a store and a registry export file, and between
// two stores: what `--import` and `--export` do on Windows, and what the
// service's installation copies from the installing user's settings into
// the machine's.

#include <string>

#include "config/reg_document.h"
#include "platform/registry_store.h"
#include "platform/status.h"

namespace tillgate {

// The settings `store` holds (the keys Tillgate, Tillgate\DataBase and
// Tillgate\Equipment with every value the server reads) as a document whose
// key paths start with `root_name` ("HKEY_CURRENT_USER"), in the form and
// encoding regedit exports (version 5.00, UTF-16LE). Values the server
// reads not are not known by name and are left out. An empty document
// when the store has no key Tillgate.
RegDocument ExportSettings(RegistryStore& store, const std::string& root_name);

// What ImportSettings did.
struct ImportResult {
  Status status;
  int values = 0;   // written
  int skipped = 0;  // of a type the settings never hold, or outside Tillgate
};

// Writes every value of the document's keys at or below "Tillgate" (under
// whatever root: HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE\SOFTWARE) into
// `store`, creating the keys. Values already there and not in the document
// stay. A refused write stops the import with its reason (values written
// before it stay written); a document without the key Tillgate is refused
// before anything is written.
ImportResult ImportSettings(const RegDocument& document, RegistryStore& store);

}  // namespace tillgate
